// The four exported change calls.  A change is applied to the running
// adapter first and stored second, so only a value the driver accepted is
// ever stored; when storing fails the driver is given the old value back,
// so that the adapter and the store agree again.  Where the value lives is
// decided once per call, from the call's own product lookup, and the old
// value is read from and the new one written to that one place.
#include <cstdint>

#include "adapter_channel.h"
#include "control_request.h"
#include "interface_code.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

constexpr DWORD kStoredValueSize = 4;

constexpr int kMaxInterfaceMode = 3;

// Capability codes that restrict the interface modes: 0x30 adapters refuse
// mode 0, 0x10 adapters have mode 0 only.
constexpr int kNoModeZeroCapability = 0x30;
constexpr int kModeZeroOnlyCapability = 0x10;

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The request and where its value is stored.
struct Change {
    DWORD code;
    SettingPlace place;
    ControlRecord record;
};

// Closes the channel first, so that nothing the close does can replace the
// code the call reports.
int CloseAndFail(platform::DeviceHandle& adapter, DWORD error) {
    adapter.reset();
    return Fail(error);
}

// Sends the change through the open channel and stores it.  `old` is the
// value stored before, which the driver is given back if storing fails.
int ApplyAndStore(platform::DeviceHandle& adapter, int port, Change change, int old) {
    if (!SendControlRequest(adapter.get(), change.code, change.record)) return 0;
    if (WriteSetting(change.place, port, change.record.Value(), kStoredValueSize)) {
        return 1;
    }
    change.record.SetValue(old);
    SendControlRequest(adapter.get(), change.code, change.record);  // best effort
    return CloseAndFail(adapter, ERROR_REGISTRY_IO_FAILED);
}

// PoSetInterface past its argument check: the channel is opened before the
// old value is read, and the capability rules are applied in between.
int SetInterface(int port, int mode) {
    const int product = LookupProductId(port);
    int channel = kNoChannel;
    platform::DeviceHandle adapter = OpenAdapterChannel(port, channel);
    if (!adapter) return 0;

    const int capability = CapabilityCode(product);
    if (capability == kNoModeZeroCapability && mode == 0) return 0;
    if (capability == kModeZeroOnlyCapability) return mode == 0 ? 1 : 0;

    const Change change =
        IsTovelserFamily(product)
            ? Change{kSetInterfaceTovelser, LocateSetting(product, kSerInterface),
                     ControlRecord(RecordLayout::kValueFirst, channel, mode)}
            : Change{kSetInterfaceMode, LocateSetting(product, kInterfaceMode),
                     ControlRecord(RecordLayout::kChannelFirst, channel,
                                   TranslateInterfaceCode(mode))};
    const int old = ReadSetting(change.place, port);
    if (old == kNotStored) return CloseAndFail(adapter, ERROR_REGISTRY_IO_FAILED);
    return ApplyAndStore(adapter, port, change, old);
}

// The sequence shared by the fast-flush, transmit-mode and FIFO calls,
// which tovelser-family adapters do not have: the old value is read before
// the channel is opened.
int SetSwitchOption(int port, int value, const char* valueName, DWORD code) {
    if (!IsValidComNumber(port) || value < 0 || value > 1) return Fail(ERROR_INVALID_PARAMETER);
    const int product = LookupProductId(port);
    if (IsTovelserFamily(product)) return 0;

    const SettingPlace place = LocateSetting(product, valueName);
    const int old = ReadSetting(place, port);
    if (old == kNotStored) return Fail(ERROR_REGISTRY_IO_FAILED);

    int channel = kNoChannel;
    platform::DeviceHandle adapter = OpenAdapterChannel(port, channel);
    if (!adapter) return 0;
    const Change change{code, place, ControlRecord(RecordLayout::kChannelFirst, channel, value)};
    return ApplyAndStore(adapter, port, change, old);
}

// Keeps exceptions (only allocation failures can occur) from crossing the
// exported boundary; such a call fails without an error code of its own.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return 0;
    }
}

}  // namespace

}  // namespace portopt

using portopt::Guarded;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoSetInterface(int port, int mode) {
    return Guarded([=] {
        if (!portopt::IsValidComNumber(port) || mode < 0 || mode > portopt::kMaxInterfaceMode) {
            return portopt::Fail(ERROR_INVALID_PARAMETER);
        }
        return portopt::SetInterface(port, mode);
    });
}

PORTOPT_API int PORTOPT_CALL PoSetFastFlush(int port, int on) {
    return Guarded([=] {
        return portopt::SetSwitchOption(port, on, portopt::kFastFlush, portopt::kSetFastFlush);
    });
}

PORTOPT_API int PORTOPT_CALL PoSetTxMode(int port, int mode) {
    return Guarded([=] {
        return portopt::SetSwitchOption(port, mode, portopt::kTxMode, portopt::kSetTxMode);
    });
}

// The driver stores and receives "FIFO disabled", the inverse of `enable`;
// any nonzero `enable` means enabled.
PORTOPT_API int PORTOPT_CALL PoSetUARTFIFO(int port, int enable) {
    return Guarded([=] {
        const int disable = enable == 0 ? 1 : 0;
        return portopt::SetSwitchOption(port, disable, portopt::kDisableFiFo,
                                        portopt::kSetUartFifo);
    });
}

}  // extern "C"
