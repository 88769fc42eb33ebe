// The four exported change calls.  A change is applied to the running
// adapter first and stored second, so only a value the driver accepted is
// ever stored; when storing fails the driver is given the old value back,
// so that the adapter and the store agree again.  Each call resolves its
// port once: the product, the adapter's channel and the place of the
// setting all come from that one port, so the value is stored where the
// port whose adapter took the request reads it.
#include <cstdint>

#include "adapter_channel.h"
#include "exported_call.h"
#include "control_request.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

using platform::CallAnswer;

constexpr DWORD kStoredValueSize = 4;

constexpr CallAnswer kBadArgument{0, ERROR_INVALID_PARAMETER};
// Also what a change that runs out of memory answers: no code of its own.
constexpr CallAnswer kRefused{0};
constexpr CallAnswer kStoreFailed{0, ERROR_REGISTRY_IO_FAILED};

// The request and where its value is stored.
struct Change {
    SettingPlace place;
    DWORD code;
    ControlRecord record;
};

// The change of `option` to `value` (in the calls' numbering) on the
// resolved port, as the port's driver family takes it.
Change ChangeOf(StoreReader& store, const ResolvedPort& port, Option option, int value) {
    const FamilyOption& driver = port.Family().Of(option);
    return {store.Locate(port, option), driver.controlCode,
            ControlRecord(driver.layout, port.channel, driver.driverNumbering(value))};
}

// Sends the change through the open channel and stores it.  `old` is the
// value stored before, exactly as stored, which the driver is given back if
// storing fails.  A request the driver refuses leaves the platform's code,
// which the call reports once it has released the handle and the lists
// (whose release would otherwise clear it).
CallAnswer ApplyAndStore(const platform::DeviceHandle& adapter, Change change, int old) {
    if (!SendControlRequest(adapter.get(), change.code, change.record)) {
        return {kRefused.value, GetLastError()};
    }
    if (WritePortSetting(change.place, change.record.Value(), kStoredValueSize)) return {1};
    change.record.SetValue(old);
    SendControlRequest(adapter.get(), change.code, change.record);  // best effort
    return kStoreFailed;
}

// PoSetInterface past its argument check: the channel is opened before the
// old value is read, and the capability rules are applied in between.
CallAnswer SetInterface(int com, int mode) {
    const PortResolution resolution = PortResolution::Resolve(com, Purpose::kChange);
    const ResolvedPort& port = resolution.Port();
    const platform::DeviceHandle adapter = OpenAdapterChannel(port);
    if (!adapter) return kRefused;

    // An adapter with mode 0 only has nothing to change: it already runs
    // the one mode it accepts.
    const int modes = AcceptedInterfaceModes(port.productId);
    if (!AcceptsInterfaceMode(modes, mode)) return kRefused;
    if (modes == PO_MODES_ZERO_ONLY) return {1};

    StoreReader store;
    const Change change = ChangeOf(store, port, Option::kInterfaceMode, mode);
    const SettingRead old = store.Read(change.place);
    if (old.value == kNotStored) return kStoreFailed;
    return ApplyAndStore(adapter, change, old.value);
}

// The sequence of the fast-flush, transmit-mode and FIFO calls, which
// refuse an adapter whose family lacks the option: the old value is read
// before the channel is opened.
CallAnswer SetOtherOption(int com, Option option, int value) {
    const PortResolution resolution = PortResolution::Resolve(com, Purpose::kChange);
    const ResolvedPort& port = resolution.Port();
    if (!port.Family().Has(option)) return kRefused;

    StoreReader store;
    const Change change = ChangeOf(store, port, option, value);
    const SettingRead old = store.Read(change.place);
    if (old.value == kNotStored) return kStoreFailed;

    const platform::DeviceHandle adapter = OpenAdapterChannel(port);
    if (!adapter) return kRefused;
    return ApplyAndStore(adapter, change, old.value);
}

// Runs one change call: checks the COM number and the argument, turns the
// argument into the value stored and sent, and makes the change.
int Set(int port, Option option, int argument) {
    const bool valid = IsValidComNumber(port) && AcceptsArgument(option, argument);
    return platform::RunExportedCall(valid, kBadArgument, kRefused, [=] {
        const int value = RuleOf(option).storedValueOf(argument);
        return option == Option::kInterfaceMode ? SetInterface(port, value)
                                                : SetOtherOption(port, option, value);
    });
}

}  // namespace

}  // namespace portopt

using portopt::Option;
using portopt::Set;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoSetInterface(int port, int mode) {
    return Set(port, Option::kInterfaceMode, mode);
}

PORTOPT_API int PORTOPT_CALL PoSetFastFlush(int port, int on) {
    return Set(port, Option::kFastFlush, on);
}

PORTOPT_API int PORTOPT_CALL PoSetTxMode(int port, int mode) {
    return Set(port, Option::kTxMode, mode);
}

// Any nonzero `enable` means enabled.
PORTOPT_API int PORTOPT_CALL PoSetUARTFIFO(int port, int enable) {
    return Set(port, Option::kUartFifo, enable);
}

}  // extern "C"
