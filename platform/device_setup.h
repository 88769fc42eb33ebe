// Small, bounded wrappers over the device-setup and registry calls that more
// than one part of the libraries makes.  Every result is cut to the bytes the
// platform reported; nothing past them is ever read.
#ifndef PLATFORM_DEVICE_SETUP_H
#define PLATFORM_DEVICE_SETUP_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unique_resource.h"
#include "win32.h"

namespace platform {

// Device-list flags the libraries build lists with.
inline constexpr DWORD kPresentInterfacesOfClass = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;  // 0x12

// Size of the friendly-name buffer: 260 characters and a terminator.
inline constexpr DWORD kFriendlyNameBufferSize = 261;

// A device list of present devices; `interfaceClass` may be null only with
// DIGCF_ALLCLASSES.  Empty (not valid) when the platform refused.
DeviceList GetDeviceList(const GUID* interfaceClass, DWORD flags);
// The same, of the devices that `enumerator` names; in interface mode an
// enumerator may be one device's instance ID, and the list then holds that
// device alone (when it has interfaces of the class).
DeviceList GetDeviceList(const GUID* interfaceClass, const char* enumerator, DWORD flags);
DeviceList GetDeviceListW(const GUID* interfaceClass, DWORD flags);

// Device record `index` of the list, with cbSize set for this process.
bool EnumDevice(HDEVINFO list, DWORD index, SP_DEVINFO_DATA& device);

// A fresh device record / interface record with cbSize set.
SP_DEVINFO_DATA NewDeviceRecord();
SP_DEVICE_INTERFACE_DATA NewInterfaceRecord();

// The device's friendly name (property 12) read into a 261-byte buffer:
// the bytes the platform returned, up to the first NUL.  nullopt when the
// property cannot be read.
std::optional<std::string> ReadFriendlyName(HDEVINFO list, SP_DEVINFO_DATA& device);

// A device node's status flags (the first output of CM_Get_DevNode_Status);
// nullopt when the call fails.
std::optional<ULONG> ReadDevNodeStatus(DEVINST node);

// The parent node of `node`; nullopt when it has none or cannot be read.
std::optional<DEVINST> ReadParentNode(DEVINST node);

// A node's instance ID read by CM_Get_Device_IDA into a buffer of
// `bufferSize` bytes, cut at the first NUL or, without one, at the
// buffer's end.  nullopt when the call fails.
std::optional<std::string> ReadNodeInstanceId(DEVINST node, ULONG bufferSize);

// Adds the device with `instanceId` to `list` (or finds it there) and
// fills `device` with its record.
bool OpenDeviceInfo(HDEVINFO list, const std::string& instanceId, SP_DEVINFO_DATA& device);

// The instance ID of a device in `list`, read back into a buffer of
// `bufferSize` bytes and bounded like ReadNodeInstanceId.
std::optional<std::string> ReadDeviceInstanceId(HDEVINFO list, SP_DEVINFO_DATA& device,
                                                DWORD bufferSize);

// The device's hardware key (global scope, profile 0), opened with
// `access`; empty when it cannot be opened.
RegistryKey OpenHardwareKey(HDEVINFO list, SP_DEVINFO_DATA& device, REGSAM access);

// Opens a key below HKEY_LOCAL_MACHINE; empty when it cannot be opened.
RegistryKey OpenLocalMachineKey(const char* path, REGSAM access);

// A value's bytes, whatever its type, read into a buffer of `capacity`
// bytes.  nullopt when the value is missing, larger than `capacity`, or
// cannot be read.  The result holds exactly the bytes the read returned.
std::optional<std::vector<std::uint8_t>> QueryValueBytes(HKEY key, const char* name,
                                                         DWORD capacity);

}  // namespace platform

#endif
