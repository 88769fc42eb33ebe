// The few system calls portctl makes itself: the thread's last-error code,
// which the libraries report through, and the process token.  The Windows
// SDK on Windows; on the host, the simulated Windows the libraries run on.
#ifndef PORTCTL_SYSTEM_API_H
#define PORTCTL_SYSTEM_API_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "simwin/win32.h"
#endif

#endif
