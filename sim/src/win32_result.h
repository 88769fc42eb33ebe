// How the simulated calls report failure: set the thread's last-error code
// and return the call's failure value.
#ifndef SIMWIN_SRC_WIN32_RESULT_H
#define SIMWIN_SRC_WIN32_RESULT_H

#include "simwin/win32.h"

namespace simwin::detail {

inline BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

inline HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace simwin::detail

#endif
