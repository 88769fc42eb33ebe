#include "elevation.h"

#include <memory>
#include <type_traits>

#include "system_api.h"

namespace portctl {

namespace {

struct CloseHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Token = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleDeleter>;

}  // namespace

bool KnownNotElevated() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
    const Token token(opened);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return false;
    }
    return elevation.TokenIsElevated == 0;
}

}  // namespace portctl
