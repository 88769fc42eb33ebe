// Device-interface classes, spelled out here so that no translation unit
// needs the SDK's INITGUID machinery.
#ifndef PLATFORM_GUIDS_H
#define PLATFORM_GUIDS_H

#include "win32.h"

namespace platform {

// Ports (COM & LPT) class, used by the port-options library as an
// interface class for COM ports and adapters.
inline const GUID kPortsClassGuid = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// COM-port device interface, used by the lister.
inline const GUID kComPortInterfaceGuid = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

}  // namespace platform

#endif
