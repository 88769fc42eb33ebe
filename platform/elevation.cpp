#include "elevation.h"

#include "unique_resource.h"
#include "win32.h"

namespace platform {

namespace {
using TokenHandle = UniqueResource<HANDLE, CloseKernelHandle>;
}  // namespace

bool KnownNotElevated() {
    TokenHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) {
        token.release();
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return false;
    }
    return elevation.TokenIsElevated == 0;
}

}  // namespace platform
