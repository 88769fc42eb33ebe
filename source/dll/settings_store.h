// Where the port options live: the driver's FixComFunc switch picks either
// one shared 256-byte table per setting in the driver's service key, or one
// 32-bit value per setting in each COM port's hardware key.
#ifndef PORTOPT_SETTINGS_STORE_H
#define PORTOPT_SETTINGS_STORE_H

#include <cstdint>

#include "win32.h"

namespace portopt {

class PortResolution;
struct PortKeys;

// Value names of the settings.
inline constexpr const char* kSerInterface = "SerInterface";    // tovelser family
inline constexpr const char* kInterfaceMode = "InterfaceMode";  // other adapters
inline constexpr const char* kFastFlush = "FastFlush";
inline constexpr const char* kTxMode = "TxMode";
inline constexpr const char* kDisableFiFo = "DisableFiFo";

inline constexpr int kNotStored = -1;
// Bytes of a per-port value a writer may store: the whole 32-bit value.
inline constexpr DWORD kMaxValueSize = 4;
inline constexpr std::size_t kSharedTableSize = 256;
inline constexpr std::uint8_t kNoTableValue = 0xFF;

// The switch key of the driver family the product belongs to.
const char* SwitchKeyPath(int productId);

// The FixComFunc switch of the product's driver: 0 (per-port mode) when
// absent or unreadable.
std::uint32_t ReadFixComFunc(int productId);
// The same, for the switch key at `switchKey`.
std::uint32_t ReadSwitchAt(const char* switchKey);

// Where one setting of the resolved port lives: the driver family (by
// product ID), the value name, the layout the family's switch selects and,
// for per-port values, the resolved port's hardware key.  A call decides it
// once and reads and writes that same place, so that a platform call
// failing half-way can never send its write to another family's table, to
// the port's hardware key instead of the table, or to another port.
struct SettingPlace {
    int port;
    int productId;
    const char* valueName;
    bool sharedTable;
    const PortKeys* keys;  // the resolution's, alive for the call
};

// Reads the switch of the resolved product's family to decide the layout.
SettingPlace LocateSetting(const PortResolution& port, const char* name);

// A setting as the store read it: the value, or -1.  `absent` says that the
// store holds no value for the port (a table byte 0xFF, no per-port value,
// or the value -1), which the calls report as ERROR_FILE_NOT_FOUND once
// they have released their lists; -1 without it means unreadable.
struct SettingRead {
    int value = kNotStored;
    bool absent = false;
};

SettingRead ReadPortSetting(const SettingPlace& place);

// Stores `value` at `place` (`size` little-endian bytes per port, the low
// byte in a shared table) and nowhere else.  True when stored.
bool WritePortSetting(const SettingPlace& place, std::int32_t value, DWORD size);

}  // namespace portopt

#endif
