// The calling thread's last-error code.
#include "simwin/win32.h"

namespace {
thread_local DWORD lastError = 0;
}

extern "C" {

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
DWORD WINAPI GetLastError(void) { return lastError; }
}
