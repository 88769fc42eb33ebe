// Per-port layout: one 32-bit value per setting in the hardware key of the
// COM port's device node.  Which node that is, the call's resolution of
// the port decided.
#include <cstdint>

#include "device_setup.h"
#include "resolved_port.h"
#include "store_layouts.h"

namespace portopt {

namespace {

// Room for a 4-byte value and for a longer one up to a 64-bit number, of
// which the first four bytes count.
constexpr DWORD kValueBufferSize = 8;

}  // namespace

std::optional<std::uint32_t> ReadHardwareValue(HKEY key, const char* name) {
    const auto bytes = platform::QueryValueBytes(key, name, kValueBufferSize);
    if (!bytes) return std::nullopt;
    return LittleEndianPrefix(*bytes);
}

int PerPortValue(std::optional<std::uint32_t> found) {
    return found ? static_cast<std::int32_t>(*found) : kNotStored;
}

std::vector<SettingRead> ReadPerPortSettings(const PortKeys& keys, const char* const* names,
                                             std::size_t count) {
    // No ports list: unreadable, not absent.
    if (!keys.list) return std::vector<SettingRead>(count);
    std::vector<SettingRead> reads(count, SettingRead{kNotStored, true});
    std::vector<bool> found(count, false);
    std::size_t left = count;
    for (SP_DEVINFO_DATA device : keys.devices) {
        if (left == 0) break;
        const platform::RegistryKey key = platform::OpenHardwareKey(keys.list, device, KEY_READ);
        if (!key) continue;
        for (std::size_t i = 0; i < count; ++i) {
            if (found[i]) continue;
            const std::optional<std::uint32_t> value = ReadHardwareValue(key.get(), names[i]);
            if (!value) continue;
            const int stored = PerPortValue(value);
            reads[i] = {stored, stored == kNotStored};
            found[i] = true;
            --left;
        }
    }
    return reads;
}

bool WritePerPortSetting(const PortKeys& keys, const char* name, std::int32_t value, DWORD size) {
    if (!keys.list || keys.devices.empty()) return false;
    // Only the first key is written, even when it cannot be opened.
    SP_DEVINFO_DATA device = keys.devices.front();
    const platform::RegistryKey key = platform::OpenHardwareKey(keys.list, device, KEY_WRITE);
    if (!key) return false;
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    const BYTE bytes[kMaxValueSize] = {BYTE(bits), BYTE(bits >> 8), BYTE(bits >> 16),
                                       BYTE(bits >> 24)};
    return RegSetValueExA(key.get(), name, 0, REG_DWORD, bytes, size) == ERROR_SUCCESS;
}

}  // namespace portopt
