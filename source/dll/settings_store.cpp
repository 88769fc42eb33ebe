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

int ReadPortSetting(int port, const char* name) {
    try {
        const int productId = LookupProductId(port);
        if (ReadFixComFunc(productId) != 0) {
            return ReadTableSetting(SwitchKeyPath(productId), port, name);
        }
        return ReadPerPortSetting(port, name);
    } catch (const std::bad_alloc&) {
        return kNotStored;
    }
}

bool WritePortSetting(int port, const char* name, std::int32_t value, DWORD size) {
    // The value provides four bytes; never write more than it has.
    if (size > kMaxValueSize) return false;
    try {
        const int productId = LookupProductId(port);
        if (ReadFixComFunc(productId) != 0) {
            const TableLock lock(productId);  // whole-table rewrite: one writer at a time
            return WriteTableSetting(SwitchKeyPath(productId), port, name, value);
        }
        return WritePerPortSetting(port, name, value, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace portopt
