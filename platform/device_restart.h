// Restarting a device so that its driver takes changed settings: the class
// installer's property change (DIF_PROPERTYCHANGE with DICS_PROPCHANGE),
// as Device Manager asks for it.
#ifndef PLATFORM_DEVICE_RESTART_H
#define PLATFORM_DEVICE_RESTART_H

#include "win32.h"

namespace platform {

struct RestartOutcome {
    bool restarted = false;    // the class installer took the request
    bool needsReboot = false;  // ... but the device restarts only with the machine
    DWORD error = 0;           // why the request failed, when it did
};

RestartOutcome RestartDevice(HDEVINFO list, SP_DEVINFO_DATA& device);

}  // namespace platform

#endif
