// Where the port options live: the driver's FixComFunc switch picks either
// one shared 256-byte table per setting in the driver's switch key, or one
// 32-bit value per setting in each COM port's hardware key.
#ifndef PORTOPT_SETTINGS_STORE_H
#define PORTOPT_SETTINGS_STORE_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "driver_family.h"
#include "port_option.h"
#include "setting_read.h"
#include "win32.h"

namespace portopt {

struct PortKeys;
struct ResolvedPort;

// The FixComFunc switch in the family's switch key: 0 (per-port mode)
// when absent or unreadable.  Throws std::bad_alloc when out of memory.
std::uint32_t ReadSwitch(const DriverFamily& family);

// Where one setting of a resolved port lives: the family's value name, the
// layout the family's switch selects and, for per-port values, the
// resolved port's hardware keys.  A call decides it once and reads and
// writes that same place, so that a platform call failing half-way can
// never send its write to another family's table, to the port's hardware
// key instead of the table, or to another port.
struct SettingPlace {
    int port;
    const DriverFamily* family;
    Option option;
    bool sharedTable;
    const PortKeys* keys;  // the resolution's, alive for the call

    const char* ValueName() const { return family->Of(option).valueName; }
};

// The settings store as one call reads it: each family's switch and each
// shared table are read at most once per call, however many ports and
// options the call asks for.
class StoreReader {
public:
    // The place of `option` for the port.  An option the port's family
    // lacks has no place: it reads as unreadable and is never written.
    SettingPlace Locate(const ResolvedPort& port, Option option);
    SettingRead Read(const SettingPlace& place);
    // Each option the port's family has (the others read as not stored),
    // opening each hardware key of the port at most once.
    std::array<SettingRead, kOptionCount> ReadOptions(const ResolvedPort& port);

private:
    using Table = std::optional<std::vector<std::uint8_t>>;
    const Table& StoredTable(const DriverFamily& family, Option option);

    std::map<const DriverFamily*, std::uint32_t> switches_;
    std::map<std::pair<const DriverFamily*, Option>, Table> tables_;
};

// Stores `value` at `place` (`size` little-endian bytes per port, the low
// byte in a shared table) and nowhere else.  True when stored.
bool WritePortSetting(const SettingPlace& place, std::int32_t value, DWORD size);

}  // namespace portopt

#endif
