#include "device_setup.h"

#include <algorithm>
#include <cstring>

namespace platform {

DeviceList GetDeviceList(const GUID* interfaceClass, DWORD flags) {
    return DeviceList(SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, flags));
}

DeviceList GetDeviceListW(const GUID* interfaceClass, DWORD flags) {
    return DeviceList(SetupDiGetClassDevsW(interfaceClass, nullptr, nullptr, flags));
}

SP_DEVINFO_DATA NewDeviceRecord() {
    SP_DEVINFO_DATA record{};
    record.cbSize = sizeof(record);
    return record;
}

SP_DEVICE_INTERFACE_DATA NewInterfaceRecord() {
    SP_DEVICE_INTERFACE_DATA record{};
    record.cbSize = sizeof(record);
    return record;
}

bool EnumDevice(HDEVINFO list, DWORD index, SP_DEVINFO_DATA& device) {
    device = NewDeviceRecord();
    return SetupDiEnumDeviceInfo(list, index, &device) != FALSE;
}

std::optional<std::string> ReadFriendlyName(HDEVINFO list, SP_DEVINFO_DATA& device) {
    BYTE buffer[kFriendlyNameBufferSize] = {};
    DWORD type = 0;
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_FRIENDLYNAME, &type, buffer,
                                           sizeof(buffer), &required)) {
        return std::nullopt;
    }
    // The platform reports the bytes it wrote; trust no more than fit.
    const DWORD returned = std::min<DWORD>(required, sizeof(buffer));
    const auto* text = reinterpret_cast<const char*>(buffer);
    const void* nul = std::memchr(text, '\0', returned);
    const size_t length = nul ? static_cast<const char*>(nul) - text : returned;
    return std::string(text, length);
}

RegistryKey OpenHardwareKey(HDEVINFO list, SP_DEVINFO_DATA& device, REGSAM access) {
    return RegistryKey(SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, access));
}

RegistryKey OpenLocalMachineKey(const char* path, REGSAM access) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key.out()) != ERROR_SUCCESS) {
        key.release();  // the slot may hold garbage after a failed open
    }
    return key;
}

std::optional<std::vector<std::uint8_t>> QueryValueBytes(HKEY key, const char* name,
                                                         DWORD capacity) {
    std::vector<std::uint8_t> data(capacity, 0);
    DWORD type = 0;
    DWORD size = capacity;
    if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(std::min(size, capacity));
    return data;
}

}  // namespace platform
