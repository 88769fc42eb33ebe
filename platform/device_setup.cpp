#include "device_setup.h"

#include <algorithm>
#include <cstring>

namespace platform {

DeviceList GetDeviceList(const GUID* interfaceClass, DWORD flags) {
    return GetDeviceList(interfaceClass, nullptr, flags);
}

DeviceList GetDeviceList(const GUID* interfaceClass, const char* enumerator, DWORD flags) {
    return DeviceList(SetupDiGetClassDevsA(interfaceClass, enumerator, nullptr, flags));
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

namespace {

// The text in `buffer`: up to its first NUL, or all of it when there is none.
std::string BoundedText(const char* buffer, size_t size) {
    const void* nul = std::memchr(buffer, '\0', size);
    const size_t length = nul ? static_cast<const char*>(nul) - buffer : size;
    return std::string(buffer, length);
}

}  // namespace

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

std::optional<ULONG> ReadDevNodeStatus(DEVINST node) {
    ULONG status = 0;  // some implementations succeed without writing it
    ULONG problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, node, 0) != CR_SUCCESS) return std::nullopt;
    return status;
}

std::optional<DEVINST> ReadParentNode(DEVINST node) {
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return std::nullopt;
    return parent;
}

std::optional<std::string> ReadNodeInstanceId(DEVINST node, ULONG bufferSize) {
    std::vector<char> buffer(bufferSize, '\0');
    if (CM_Get_Device_IDA(node, buffer.data(), bufferSize, 0) != CR_SUCCESS) return std::nullopt;
    return BoundedText(buffer.data(), buffer.size());
}

bool OpenDeviceInfo(HDEVINFO list, const std::string& instanceId, SP_DEVINFO_DATA& device) {
    device = NewDeviceRecord();
    return SetupDiOpenDeviceInfoA(list, instanceId.c_str(), nullptr, 0, &device) != FALSE;
}

std::optional<std::string> ReadDeviceInstanceId(HDEVINFO list, SP_DEVINFO_DATA& device,
                                                DWORD bufferSize) {
    std::vector<char> buffer(bufferSize, '\0');
    DWORD required = 0;
    if (!SetupDiGetDeviceInstanceIdA(list, &device, buffer.data(), bufferSize, &required)) {
        return std::nullopt;
    }
    return BoundedText(buffer.data(), buffer.size());
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
