#include "elevation.h"

#include "unique_resource.h"

namespace portctl {

bool KnownNotElevated() {
    platform::UniqueResource<HANDLE, platform::CloseKernelHandle> token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return false;
    }
    return elevation.TokenIsElevated == 0;
}

}  // namespace portctl
