// The two layouts of the settings store, behind the FixComFunc switch:
// one shared 256-byte table per setting in the driver's switch key, or one
// 32-bit value per setting in each COM port's hardware key.
#ifndef PORTOPT_STORE_LAYOUTS_H
#define PORTOPT_STORE_LAYOUTS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "setting_read.h"
#include "win32.h"

namespace portopt {

struct PortKeys;

// Bytes of a per-port value a writer may store: the whole 32-bit value.
inline constexpr DWORD kMaxValueSize = 4;
inline constexpr std::size_t kSharedTableSize = 256;
inline constexpr std::uint8_t kNoTableValue = 0xFF;

// Up to the first four bytes as a little-endian number; missing high bytes
// are zero.
inline std::uint32_t LittleEndianPrefix(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
        value |= std::uint32_t(bytes[i]) << (8 * i);
    }
    return value;
}

// Shared-table layout, in the switch key at `switchKey`.
// The whole stored table (the bytes the read returned); nullopt when the
// key or the value cannot be read.
std::optional<std::vector<std::uint8_t>> ReadStoredTable(const char* switchKey, const char* name);
// The setting of COM `port` in a stored table: -1 when the table has no
// byte for it or the byte is 0xFF.
int TableValue(const std::vector<std::uint8_t>& table, int port);
bool WriteTableSetting(const char* switchKey, int port, const char* name, std::int32_t value);

// Per-port layout, in the hardware keys of `keys`: the reader takes, for
// each of the `count` value names, the first key whose value of that name
// reads, opening each key at most once; the writer takes the first key.
std::vector<SettingRead> ReadPerPortSettings(const PortKeys& keys, const char* const* names,
                                             std::size_t count);
// The first four bytes of a port's value in its open hardware key, as a
// little-endian number; nullopt when the value cannot be read.
std::optional<std::uint32_t> ReadHardwareValue(HKEY key, const char* name);
// What the per-port reader answers for the value found: -1 when none was
// found or it holds -1.
int PerPortValue(std::optional<std::uint32_t> found);
bool WritePerPortSetting(const PortKeys& keys, const char* name, std::int32_t value, DWORD size);

}  // namespace portopt

#endif
