// The process's access token, as far as a program asks whether it runs
// elevated.  Token handles are closed with CloseHandle and count as open
// handles until then.
#include "machine_state.h"
#include "win32_result.h"

using namespace simwin::detail;

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return INVALID_HANDLE_VALUE; }

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "OpenProcessToken")) return FailWith(fault);
    if (!TokenHandle) return FailWith(ERROR_NOACCESS);
    // Only the current process is simulated.
    if (ProcessHandle != INVALID_HANDLE_VALUE) return FailWith(ERROR_INVALID_HANDLE);
    const std::uintptr_t handle = NewHandleValue();
    m->tokens.emplace(handle, DesiredAccess);
    *TokenHandle = AsHandle<HANDLE>(handle);
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "GetTokenInformation")) return FailWith(fault);
    auto token = m->tokens.find(HandleValue(TokenHandle));
    if (token == m->tokens.end()) return FailWith(ERROR_INVALID_HANDLE);
    if ((token->second & TOKEN_QUERY) == 0) return FailWith(ERROR_ACCESS_DENIED);
    if (TokenInformationClass != TokenElevation) return FailWith(ERROR_INVALID_PARAMETER);
    if (!ReturnLength) return FailWith(ERROR_NOACCESS);
    *ReturnLength = sizeof(TOKEN_ELEVATION);
    if (TokenInformationLength < sizeof(TOKEN_ELEVATION))
        return FailWith(ERROR_INSUFFICIENT_BUFFER);
    if (!TokenInformation) return FailWith(ERROR_NOACCESS);
    static_cast<TOKEN_ELEVATION*>(TokenInformation)->TokenIsElevated = m->elevated ? 1 : 0;
    return TRUE;
}
}

namespace simwin {

void SetElevated(bool elevated) { detail::Access()->elevated = elevated; }

bool Elevated() { return detail::Access()->elevated; }

}  // namespace simwin
