// The FixComFunc switch, and the store entry points that pick a layout by it.
#include "settings_store.h"

#include <new>

#include "device_setup.h"
#include "port_resolution.h"
#include "store_layouts.h"
#include "table_lock.h"

namespace portopt {

namespace {

constexpr const char* kSwitchValue = "FixComFunc";
constexpr DWORD kSwitchSize = 4;

}  // namespace

// Running out of memory here throws, and the call fails: a switch taken
// for per-port mode would send a change where the driver does not look.
std::uint32_t ReadSwitch(const DriverFamily& family) {
    // Reading the switch needs no more than read access, so callers who
    // may not change the driver's key still see the layout it uses.
    const platform::RegistryKey key = platform::OpenLocalMachineKey(family.switchKey, KEY_READ);
    if (!key) return 0;
    const auto bytes = platform::QueryValueBytes(key.get(), kSwitchValue, kSwitchSize);
    if (!bytes) return 0;
    return LittleEndianPrefix(*bytes);
}

SettingPlace StoreReader::Locate(const ResolvedPort& port, Option option) {
    const DriverFamily& family = port.Family();
    auto found = switches_.find(&family);
    if (found == switches_.end()) found = switches_.emplace(&family, ReadSwitch(family)).first;
    return {port.port, &family, option, found->second != 0, &port.keys};
}

const StoreReader::Table& StoreReader::StoredTable(const DriverFamily& family, Option option) {
    const auto id = std::make_pair(&family, option);
    auto found = tables_.find(id);
    if (found == tables_.end()) {
        found = tables_.emplace(id, ReadStoredTable(family.switchKey, family.Of(option).valueName))
                    .first;
    }
    return found->second;
}

SettingRead StoreReader::Read(const SettingPlace& place) {
    if (!place.family->Has(place.option)) return {};  // nowhere to read from
    if (place.sharedTable) {
        const Table& table = StoredTable(*place.family, place.option);
        if (!table) return {};
        const int value = TableValue(*table, place.port);
        return {value, value == kNotStored};
    }
    const char* name = place.ValueName();
    return ReadPerPortSettings(*place.keys, &name, 1)[0];
}

std::array<SettingRead, kOptionCount> StoreReader::ReadOptions(const ResolvedPort& port) {
    std::array<SettingRead, kOptionCount> reads{};
    std::vector<SettingPlace> places;
    for (Option option : kOptions) {
        if (port.Family().Has(option)) places.push_back(Locate(port, option));
    }
    if (places.empty() || places.front().sharedTable) {
        for (const SettingPlace& place : places) reads[IndexOf(place.option)] = Read(place);
        return reads;
    }
    // Per-port values: all of them from one opening of each key.
    std::vector<const char*> names;
    for (const SettingPlace& place : places) names.push_back(place.ValueName());
    const std::vector<SettingRead> values =
        ReadPerPortSettings(port.keys, names.data(), names.size());
    for (std::size_t i = 0; i < places.size(); ++i) reads[IndexOf(places[i].option)] = values[i];
    return reads;
}

bool WritePortSetting(const SettingPlace& place, std::int32_t value, DWORD size) {
    // The value provides four bytes; never write more than it has.
    if (size > kMaxValueSize || !place.family->Has(place.option)) return false;
    // Running out of memory here (the table, the lock's name) is a store
    // that did not store: the change call then gives the adapter its old
    // value back, as for any failed write, where the guard's answer would
    // leave the adapter changed and the store not.
    try {
        if (place.sharedTable) {
            // Whole-table rewrite: one writer at a time.  Going on while
            // another writer still holds the lock could undo its update, so
            // a wait that runs out counts as a table that cannot be written.
            const TableLock lock(*place.family);
            if (lock.TimedOut()) return false;
            return WriteTableSetting(place.family->switchKey, place.port, place.ValueName(), value);
        }
        return WritePerPortSetting(*place.keys, place.ValueName(), value, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace portopt
