#include "adapter_channel.h"

#include <cstddef>
#include <cstring>

#include "device_setup.h"
#include "guids.h"
#include "resolved_port.h"

namespace portopt {

namespace {

// Size of the detail record's fixed part in this process: what its size
// field must say, and the least a detail buffer must hold.
constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
constexpr std::size_t kDevicePathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// The interface's device path.  The first call only asks for the size; a
// size too small for the record's fixed part counts as a failure, since the
// size field could not even be written.
std::optional<std::string> ReadDevicePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, nullptr, 0, &required, nullptr);
    if (required < kDetailFixedSize) return std::nullopt;

    const platform::LocalBlock block(LocalAlloc(LPTR, required));
    if (!block) return std::nullopt;
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.get());
    detail->cbSize = kDetailFixedSize;
    if (!SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, detail, required, nullptr,
                                          nullptr)) {
        return std::nullopt;
    }
    // The block is zero-filled; read no further than it reaches.
    const char* path = detail->DevicePath;
    const std::size_t room = required - kDevicePathOffset;
    const void* nul = std::memchr(path, '\0', room);
    return std::string(path, nul ? static_cast<const char*>(nul) - path : room);
}

}  // namespace

std::optional<std::string> AdapterDevicePath(HDEVINFO list, SP_DEVINFO_DATA& adapter) {
    SP_DEVICE_INTERFACE_DATA found = platform::NewInterfaceRecord();
    if (!SetupDiEnumDeviceInterfaces(list, &adapter, &platform::kPortsClassGuid, 0, &found)) {
        return std::nullopt;
    }
    return ReadDevicePath(list, found);
}

platform::DeviceHandle OpenAdapterChannel(const ResolvedPort& port) {
    const std::optional<std::string>& path = port.devicePath;
    if (!path) return platform::DeviceHandle();
    return platform::DeviceHandle(CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
}

bool SendControlRequest(HANDLE adapter, DWORD code, const ControlRecord& record) {
    ControlRecordBytes input = record.Bytes();
    DWORD returned = 0;  // nothing comes back; the count is not looked at
    return DeviceIoControl(adapter, code, input.data(), static_cast<DWORD>(input.size()), nullptr,
                           0, &returned, nullptr) != FALSE;
}

}  // namespace portopt
