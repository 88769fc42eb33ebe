// The steps of a renumbering, in order: claim the new number, name the port
// ("PortName" and the friendly name's "(COMn)"), move its shared-table
// values, release the old number, restart the device.
#include "renumbering.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "com_database.h"
#include "device_restart.h"
#include "device_setup.h"
#include "port_option.h"
#include "portopt.h"

namespace portopt {

namespace {

constexpr const char* kPortNameValue = "PortName";
// Room for any port name the system gives ("COM256" and its terminator)
// with plenty to spare; a longer stored value is not a port name.
constexpr DWORD kPortNameCapacity = 64;

// A value as stored, to be put back exactly.
struct StoredValue {
    DWORD type = REG_SZ;
    std::vector<std::uint8_t> bytes;
};

// The value, nullopt when there is none; false when it cannot be read.
bool ReadStoredValue(HKEY key, const char* name, std::optional<StoredValue>& value) {
    StoredValue stored;
    stored.bytes.resize(kPortNameCapacity);
    DWORD size = kPortNameCapacity;
    const LSTATUS status =
        RegQueryValueExA(key, name, nullptr, &stored.type, stored.bytes.data(), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        value.reset();
        return true;
    }
    if (status != ERROR_SUCCESS) return false;
    stored.bytes.resize(std::min(size, kPortNameCapacity));
    value = std::move(stored);
    return true;
}

bool WriteText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

void PutBackValue(HKEY key, const char* name, const std::optional<StoredValue>& old) {
    if (!old) {
        RegDeleteValueA(key, name);
        return;
    }
    RegSetValueExA(key, name, 0, old->type, old->bytes.data(), static_cast<DWORD>(old->bytes.size()));
}

bool WriteFriendlyName(RenumberPlan& plan, const std::string& name) {
    return SetupDiSetDeviceRegistryPropertyA(plan.list, &plan.device, SPDRP_FRIENDLYNAME,
                                             reinterpret_cast<const BYTE*>(name.c_str()),
                                             static_cast<DWORD>(name.size() + 1)) != FALSE;
}

// The database's code for a failed claim: a number another caller took
// since the checks is in use like any other.
DWORD ClaimFailure(LONG status) {
    return status == ERROR_SHARING_VIOLATION ? DWORD(PO_ERROR_NUMBER_IN_USE) : DWORD(status);
}

}  // namespace

UndoLog::~UndoLog() {
    for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) (*undo)();
}

RenumberResult Renumber(RenumberPlan& plan) {
    // The hardware key outlives the log, whose undoing may write to it.
    const platform::RegistryKey key =
        platform::OpenHardwareKey(plan.list, plan.device, KEY_READ | KEY_WRITE);
    if (!key) return {ERROR_REGISTRY_IO_FAILED};
    UndoLog done;
    HCOMDB database = plan.database;

    // The new number is the port's in the database: claimed, unless the
    // caller forced a number the database already marked.
    if (!plan.toMarked) {
        const LONG claimed = ComDBClaimPort(database, static_cast<DWORD>(plan.to), FALSE, nullptr);
        if (claimed != ERROR_SUCCESS) return {ClaimFailure(claimed)};
        const DWORD to = static_cast<DWORD>(plan.to);
        done.Add([=] { ComDBReleasePort(database, to); });
    }

    // The port's name in its hardware key.
    std::optional<StoredValue> oldPortName;
    if (!ReadStoredValue(key.get(), kPortNameValue, oldPortName)) return {ERROR_REGISTRY_IO_FAILED};
    if (!WriteText(key.get(), kPortNameValue, "COM" + std::to_string(plan.to))) {
        return {ERROR_REGISTRY_IO_FAILED};
    }
    const HKEY hardwareKey = key.get();
    done.Add([=] { PutBackValue(hardwareKey, kPortNameValue, oldPortName); });

    // The friendly name, by which every call finds the port.
    if (!WriteFriendlyName(plan, plan.newFriendlyName)) return {ERROR_REGISTRY_IO_FAILED};
    done.Add([&plan] { WriteFriendlyName(plan, plan.friendlyName); });

    // In shared-table mode the driver reads the port's values at its
    // number's index: they move with the number.
    if (plan.sharedTable) {
        for (Option option : kOptions) {
            if (!plan.family->Has(option)) continue;
            std::function<void()> undo;
            if (!MoveTableValue(*plan.family, plan.family->Of(option).valueName, plan.from,
                                plan.to, undo)) {
                return {ERROR_REGISTRY_IO_FAILED};
            }
            if (undo) done.Add(std::move(undo));
        }
    }

    if (plan.fromMarked) {
        const LONG released = ComDBReleasePort(database, static_cast<DWORD>(plan.from));
        if (released != ERROR_SUCCESS) return {static_cast<DWORD>(released)};
        const DWORD from = static_cast<DWORD>(plan.from);
        done.Add([=] { ComDBClaimPort(database, from, FALSE, nullptr); });
    }

    // The driver takes the new name when the device restarts.  A restart
    // that cannot be asked for leaves the device on its old name, so the
    // rest is put back; one that waits for the machine's restart is
    // reported, the renumbering being complete.
    const platform::RestartOutcome restart = platform::RestartDevice(plan.list, plan.device);
    if (!restart.restarted) return {restart.error};
    done.Keep();
    return {0, restart.needsReboot};
}

}  // namespace portopt
