// Per-port layout: one 32-bit value per setting in the hardware key of the
// COM port's device node.  Only the friendly-name COM number is compared
// here; the status and parent tests of the port match do not apply.
#include <cstdint>

#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"
#include "settings_store.h"
#include "store_layouts.h"

namespace portopt {

namespace {

// Room for a 4-byte value and for a longer one up to a 64-bit number, of
// which the first four bytes count.
constexpr DWORD kValueBufferSize = 8;

bool CarriesComNumber(HDEVINFO list, SP_DEVINFO_DATA& device, int port) {
    const auto name = platform::ReadFriendlyName(list, device);
    int channel = kNoChannel;
    return name && ParseFriendlyName(*name, channel) == port;
}

// The value of the first port carrying the COM number whose key and value
// can be read.
std::optional<std::uint32_t> FindPortValue(HDEVINFO ports, int port, const char* name) {
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports, index, device); ++index) {
        if (!CarriesComNumber(ports, device, port)) continue;
        const platform::RegistryKey key = platform::OpenHardwareKey(ports, device, KEY_READ);
        if (!key) continue;
        const std::optional<std::uint32_t> value = ReadHardwareValue(key.get(), name);
        if (value) return value;
    }
    return std::nullopt;
}

// What a per-port search found; the ports list is released by the time
// the caller sees it.
struct PortValueSearch {
    bool listBuilt = false;
    std::optional<std::uint32_t> value;
};

PortValueSearch SearchPortValue(int port, const char* name) {
    const platform::DeviceList ports =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    if (!ports) return {};
    return {true, FindPortValue(ports.get(), port, name)};
}

}  // namespace

std::optional<std::uint32_t> ReadHardwareValue(HKEY key, const char* name) {
    const auto bytes = platform::QueryValueBytes(key, name, kValueBufferSize);
    if (!bytes) return std::nullopt;
    return LittleEndianPrefix(*bytes);
}

int PerPortValue(std::optional<std::uint32_t> found) {
    return found ? static_cast<std::int32_t>(*found) : kNotStored;
}

int ReadPerPortSetting(int port, const char* name) {
    const PortValueSearch search = SearchPortValue(port, name);
    if (!search.listBuilt) return kNotStored;

    // The not-found code is set only after the list is released: a
    // successful release may clear the thread's last-error code.
    const int value = PerPortValue(search.value);
    if (value == kNotStored) SetLastError(ERROR_FILE_NOT_FOUND);
    return value;
}

bool WritePerPortSetting(int port, const char* name, std::int32_t value, DWORD size) {
    const platform::DeviceList ports =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    if (!ports) return false;

    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
        if (!CarriesComNumber(ports.get(), device, port)) continue;
        // The first port whose name matches is the one written, even when
        // its key cannot be opened.
        const platform::RegistryKey key = platform::OpenHardwareKey(ports.get(), device, KEY_WRITE);
        if (!key) return false;
        const std::uint32_t bits = static_cast<std::uint32_t>(value);
        const BYTE bytes[kMaxValueSize] = {BYTE(bits), BYTE(bits >> 8), BYTE(bits >> 16),
                                           BYTE(bits >> 24)};
        return RegSetValueExA(key.get(), name, 0, REG_DWORD, bytes, size) == ERROR_SUCCESS;
    }
    return false;
}

}  // namespace portopt
