// Moving one port's byte of a shared table to another COM number's index.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "device_setup.h"
#include "renumbering.h"
#include "settings_store.h"
#include "store_layouts.h"
#include "table_lock.h"

namespace portopt {

namespace {

// Puts the bytes of `from` and `to` back as they were, leaving the rest of
// the table as other writers may since have left it.
void PutBack(const DriverFamily* family, const char* name, int from, int to, std::uint8_t atFrom,
             std::uint8_t atTo) {
    const TableLock lock(*family);
    if (lock.TimedOut()) return;
    WriteTableSetting(family->switchKey, to, name, atTo);
    WriteTableSetting(family->switchKey, from, name, atFrom);
}

}  // namespace

bool MoveTableValue(const DriverFamily& family, const char* name, int from, int to,
                    std::function<void()>& undo) {
    const TableLock lock(family);
    if (lock.TimedOut()) return false;
    const platform::RegistryKey key = platform::OpenLocalMachineKey(family.switchKey, KEY_ALL_ACCESS);
    if (!key) return false;
    std::vector<std::uint8_t> table(kSharedTableSize, kNoTableValue);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(table.size());
    const LSTATUS read = RegQueryValueExA(key.get(), name, nullptr, &type, table.data(), &size);
    if (read == ERROR_FILE_NOT_FOUND) return true;  // no table: nothing stored to move
    if (read != ERROR_SUCCESS) return false;
    // A short table is completed with "no value" for the ports it lacked.
    table.resize(std::min<DWORD>(size, kSharedTableSize));
    table.resize(kSharedTableSize, kNoTableValue);

    const std::uint8_t atFrom = table[from - 1];
    const std::uint8_t atTo = table[to - 1];
    table[to - 1] = atFrom;
    table[from - 1] = kNoTableValue;
    if (RegSetValueExA(key.get(), name, 0, REG_BINARY, table.data(),
                       static_cast<DWORD>(table.size())) != ERROR_SUCCESS) {
        return false;
    }
    const DriverFamily* owner = &family;
    undo = [=] { PutBack(owner, name, from, to, atFrom, atTo); };
    return true;
}

}  // namespace portopt
