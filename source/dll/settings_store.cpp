// The FixComFunc switch, and the store entry points that pick a layout by it.
#include "settings_store.h"

#include <new>

#include "device_setup.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "store_layouts.h"
#include "table_lock.h"

namespace portopt {

namespace {

constexpr const char* kTovelserSwitchKey = "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc";
constexpr const char* kKarbendSwitchKey = "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";
constexpr const char* kSwitchValue = "FixComFunc";
constexpr DWORD kSwitchSize = 4;

}  // namespace

const char* SwitchKeyPath(int productId) {
    return IsTovelserFamily(productId) ? kTovelserSwitchKey : kKarbendSwitchKey;
}

std::uint32_t ReadFixComFunc(int productId) { return ReadSwitchAt(SwitchKeyPath(productId)); }

std::uint32_t ReadSwitchAt(const char* switchKey) {
    try {
        // Reading the switch needs no more than read access, so callers who
        // may not change the driver's key still see the layout it uses.
        const platform::RegistryKey key = platform::OpenLocalMachineKey(switchKey, KEY_READ);
        if (!key) return 0;
        const auto bytes = platform::QueryValueBytes(key.get(), kSwitchValue, kSwitchSize);
        if (!bytes) return 0;
        return LittleEndianPrefix(*bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

SettingPlace LocateSetting(const PortResolution& port, const char* name) {
    const int product = port.ProductId();
    return {port.Port(), product, name, ReadFixComFunc(product) != 0, &port.Keys()};
}

SettingRead ReadPortSetting(const SettingPlace& place) {
    try {
        if (place.sharedTable) {
            return ReadTableSetting(SwitchKeyPath(place.productId), place.port, place.valueName);
        }
        return ReadPerPortSetting(*place.keys, place.valueName);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool WritePortSetting(const SettingPlace& place, std::int32_t value, DWORD size) {
    // The value provides four bytes; never write more than it has.
    if (size > kMaxValueSize) return false;
    try {
        if (place.sharedTable) {
            // Whole-table rewrite: one writer at a time.  Going on while
            // another writer still holds the lock could undo its update, so
            // a wait that runs out counts as a table that cannot be written.
            const TableLock lock(place.productId);
            if (lock.TimedOut()) return false;
            return WriteTableSetting(SwitchKeyPath(place.productId), place.port, place.valueName,
                                     value);
        }
        return WritePerPortSetting(*place.keys, place.valueName, value, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace portopt
