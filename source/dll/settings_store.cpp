// The FixComFunc switch, and the store entry points that pick a layout by it.
#include "settings_store.h"

#include <new>

#include "device_setup.h"
#include "port_identity.h"
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

SettingPlace LocateSetting(int productId, const char* name) {
    return {productId, name, ReadFixComFunc(productId) != 0};
}

int ReadSetting(const SettingPlace& place, int port) {
    try {
        if (place.sharedTable) {
            return ReadTableSetting(SwitchKeyPath(place.productId), port, place.valueName);
        }
        return ReadPerPortSetting(port, place.valueName);
    } catch (const std::bad_alloc&) {
        return kNotStored;
    }
}

bool WriteSetting(const SettingPlace& place, int port, std::int32_t value, DWORD size) {
    // The value provides four bytes; never write more than it has.
    if (size > kMaxValueSize) return false;
    try {
        if (place.sharedTable) {
            const TableLock lock(place.productId);  // whole-table rewrite: one writer at a time
            return WriteTableSetting(SwitchKeyPath(place.productId), port, place.valueName, value);
        }
        return WritePerPortSetting(port, place.valueName, value, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// LookupProductId and LocateSetting catch their own allocation failures.
int ReadPortSetting(int port, const char* name) {
    return ReadSetting(LocateSetting(LookupProductId(port), name), port);
}

bool WritePortSetting(int port, const char* name, std::int32_t value, DWORD size) {
    return WriteSetting(LocateSetting(LookupProductId(port), name), port, value, size);
}

}  // namespace portopt
