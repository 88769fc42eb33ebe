// PoSetComNumber and PoSetComNumberEx: every check is made before anything
// changes (the arguments, the caller's rights, the port, the friendly name
// the new number makes, the number's owners); then the renumbering, which
// either completes or puts everything back.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "com_database.h"
#include "device_setup.h"
#include "elevation.h"
#include "exported_call.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "portopt.h"
#include "renumbering.h"
#include "store_layouts.h"

namespace portopt {

namespace {

using platform::CallAnswer;

constexpr CallAnswer kBadArgument{0, ERROR_INVALID_PARAMETER};
constexpr CallAnswer kNoRights{0, ERROR_ACCESS_DENIED};
constexpr CallAnswer kNoSuchPort{0, ERROR_FILE_NOT_FOUND};
constexpr CallAnswer kInUse{0, PO_ERROR_NUMBER_IN_USE};
constexpr CallAnswer kUnreadable{0, ERROR_REGISTRY_IO_FAILED};
constexpr CallAnswer kExhausted{0, ERROR_NOT_ENOUGH_MEMORY};

constexpr const char* kSwitchValue = "FixComFunc";
constexpr DWORD kSwitchSize = 4;

// The family's FixComFunc switch as the store reads it (missing, or longer
// than a number, is per-port mode), but a switch that is there and cannot
// be read is not taken for per-port mode: moving no values would lose them.
std::optional<bool> SharedTableMode(const DriverFamily& family) {
    platform::RegistryKey key;
    const LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, family.switchKey, 0, KEY_READ, key.out());
    if (opened == ERROR_FILE_NOT_FOUND) {
        key.release();
        return false;
    }
    if (opened != ERROR_SUCCESS) {
        key.release();
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(kSwitchSize, 0);
    DWORD type = 0;
    DWORD size = kSwitchSize;
    const LSTATUS read = RegQueryValueExA(key.get(), kSwitchValue, nullptr, &type, bytes.data(), &size);
    if (read == ERROR_FILE_NOT_FOUND || read == ERROR_MORE_DATA) return false;
    if (read != ERROR_SUCCESS) return std::nullopt;
    bytes.resize(std::min(size, kSwitchSize));
    return LittleEndianPrefix(bytes) != 0;
}

bool HeldByPresentPort(HDEVINFO ports, int number) {
    bool held = false;
    WalkPortsList(ports, [&](int carried, SP_DEVINFO_DATA&, int) {
        held = carried == number;
        return !held;
    });
    return held;
}

CallAnswer SetComNumber(int com, int newNumber, bool force) {
    if (platform::KnownNotElevated()) return kNoRights;
    const PortResolution resolution = PortResolution::Resolve(com, Purpose::kQuery);
    const ResolvedPort& port = resolution.Port();
    if (!resolution.List() || port.keys.devices.empty()) return kNoSuchPort;
    if (newNumber == com) return {1};

    RenumberPlan plan;
    plan.list = resolution.List();
    plan.device = port.keys.devices.front();
    plan.from = com;
    plan.to = newNumber;
    const std::optional<std::string> name = platform::ReadFriendlyName(plan.list, plan.device);
    if (!name) return kNoSuchPort;
    const std::optional<std::string> renamed = WithComNumber(*name, newNumber);
    // The new name must fit where every call reads it.
    if (!renamed || renamed->size() >= platform::kFriendlyNameBufferSize) return kBadArgument;
    plan.friendlyName = *name;
    plan.newFriendlyName = *renamed;
    if (HeldByPresentPort(plan.list, newNumber)) return kInUse;

    plan.family = &port.Family();
    const std::optional<bool> shared = SharedTableMode(*plan.family);
    if (!shared) return kUnreadable;
    plan.sharedTable = *shared;

    LONG status = ERROR_SUCCESS;
    const platform::ComDatabase database = platform::OpenComDatabase(status);
    if (!database) return {0, static_cast<DWORD>(status)};
    const auto inUse = platform::ReadComDatabase(database.get(), status);
    if (!inUse) return {0, static_cast<DWORD>(status)};
    plan.toMarked = platform::MarksInUse(*inUse, newNumber);
    plan.fromMarked = platform::MarksInUse(*inUse, com);
    if (plan.toMarked && !force) return kInUse;
    plan.database = database.get();

    const RenumberResult result = Renumber(plan);
    if (result.error != 0) return {0, result.error};
    return {1, result.needsReboot ? DWORD(ERROR_SUCCESS_REBOOT_REQUIRED) : 0};
}

int SetNumber(int port, int newNumber, int flags) {
    const bool valid =
        IsValidComNumber(port) && IsValidComNumber(newNumber) && (flags & ~PO_NUMBER_FORCE) == 0;
    bool renumbered = false;
    const int result = platform::RunExportedCall(valid, kBadArgument, kExhausted, [&] {
        const CallAnswer answer = SetComNumber(port, newNumber, (flags & PO_NUMBER_FORCE) != 0);
        renumbered = answer.value == 1 && answer.error == 0;
        return answer;
    });
    // Success says itself too: 0, or 3010 when the restart waits for the
    // machine's.
    if (renumbered) SetLastError(ERROR_SUCCESS);
    return result;
}

}  // namespace

}  // namespace portopt

extern "C" {

PORTOPT_API int PORTOPT_CALL PoSetComNumber(int port, int newNumber) {
    return portopt::SetNumber(port, newNumber, 0);
}

PORTOPT_API int PORTOPT_CALL PoSetComNumberEx(int port, int newNumber, int flags) {
    return portopt::SetNumber(port, newNumber, flags);
}

}  // extern "C"
