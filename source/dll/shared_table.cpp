// Shared-table layout: one 256-byte table per setting in the driver's
// switch key; byte n - 1 holds COM n, 0xFF meaning "no value".
#include <cstdint>
#include <vector>

#include "device_setup.h"
#include "port_identity.h"
#include "store_layouts.h"

namespace portopt {

namespace {

std::optional<std::vector<std::uint8_t>> ReadTable(HKEY key, const char* name) {
    return platform::QueryValueBytes(key, name, static_cast<DWORD>(kSharedTableSize));
}

// Byte of COM `port` in a full table; kSharedTableSize for a number that
// has no byte, so that a caller's slip can never index past the table.
std::size_t TableIndex(int port) {
    return IsValidComNumber(port) ? static_cast<std::size_t>(port - 1) : kSharedTableSize;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadStoredTable(const char* switchKey, const char* name) {
    // Read access is enough; the key is closed on return.
    const platform::RegistryKey key = platform::OpenLocalMachineKey(switchKey, KEY_READ);
    if (!key) return std::nullopt;
    return ReadTable(key.get(), name);
}

int TableValue(const std::vector<std::uint8_t>& table, int port) {
    // A table stored shorter than 256 bytes holds no value for the ports
    // beyond its end.
    const std::size_t index = TableIndex(port);
    if (index >= table.size() || table[index] == kNoTableValue) return kNotStored;
    return table[index];
}

bool WriteTableSetting(const char* switchKey, int port, const char* name, std::int32_t value) {
    const std::size_t index = TableIndex(port);
    if (index >= kSharedTableSize) return false;

    const platform::RegistryKey key = platform::OpenLocalMachineKey(switchKey, KEY_ALL_ACCESS);
    if (!key) return false;
    // The table must exist already; the writer never creates one.
    auto table = ReadTable(key.get(), name);
    if (!table) return false;

    // A short table is completed with "no value" for the ports it lacked.
    table->resize(kSharedTableSize, kNoTableValue);
    (*table)[index] = static_cast<std::uint8_t>(value & 0xFF);
    return RegSetValueExA(key.get(), name, 0, REG_BINARY, table->data(),
                          static_cast<DWORD>(table->size())) == ERROR_SUCCESS;
}

}  // namespace portopt
