// The Win32 API subset both libraries use: the real SDK headers on Windows,
// the simulated Windows on the host.  Library code includes only this.
#ifndef PLATFORM_WIN32_H
#define PLATFORM_WIN32_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <winioctl.h>
#include <sddl.h>
#else
#include "simwin/win32.h"
#endif

#endif
