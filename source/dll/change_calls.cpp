// The four exported change calls.  A change is applied to the running
// adapter first and stored second, so only a value the driver accepted is
// ever stored; when storing fails the driver is given the old value back,
// so that the adapter and the store agree again.  Each call resolves its
// port once: the product, the adapter's channel and the place of the
// setting all come from that one port, so the value is stored where the
// port whose adapter took the request reads it.
#include <cstdint>

#include "adapter_channel.h"
#include "call_answer.h"
#include "control_request.h"
#include "interface_code.h"
#include "port_identity.h"
#include "port_resolution.h"
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

constexpr CallAnswer kRefused{0};
constexpr CallAnswer kBadArgument{0, ERROR_INVALID_PARAMETER};
constexpr CallAnswer kStoreFailed{0, ERROR_REGISTRY_IO_FAILED};

// The request and where its value is stored.
struct Change {
    DWORD code;
    SettingPlace place;
    ControlRecord record;
};

// Sends the change through the open channel and stores it.  `old` is the
// value stored before, which the driver is given back if storing fails.
CallAnswer ApplyAndStore(const platform::DeviceHandle& adapter, Change change, int old) {
    if (!SendControlRequest(adapter.get(), change.code, change.record)) return kRefused;
    if (WritePortSetting(change.place, change.record.Value(), kStoredValueSize)) return {1};
    change.record.SetValue(old);
    SendControlRequest(adapter.get(), change.code, change.record);  // best effort
    return kStoreFailed;
}

Change InterfaceChange(const PortResolution& port, int mode) {
    if (IsTovelserFamily(port.ProductId())) {
        return {kSetInterfaceTovelser, LocateSetting(port, kSerInterface),
                ControlRecord(RecordLayout::kValueFirst, port.Channel(), mode)};
    }
    return {kSetInterfaceMode, LocateSetting(port, kInterfaceMode),
            ControlRecord(RecordLayout::kChannelFirst, port.Channel(),
                          TranslateInterfaceCode(mode))};
}

// PoSetInterface past its argument check: the channel is opened before the
// old value is read, and the capability rules are applied in between.
CallAnswer SetInterface(int com, int mode) {
    const PortResolution port = PortResolution::Resolve(com, Purpose::kChange);
    const platform::DeviceHandle adapter = OpenAdapterChannel(port);
    if (!adapter) return kRefused;

    const int capability = CapabilityCode(port.ProductId());
    if (capability == kNoModeZeroCapability && mode == 0) return kRefused;
    if (capability == kModeZeroOnlyCapability) return {mode == 0 ? 1 : 0};

    const Change change = InterfaceChange(port, mode);
    const SettingRead old = ReadPortSetting(change.place);
    if (old.value == kNotStored) return kStoreFailed;
    return ApplyAndStore(adapter, change, old.value);
}

// The sequence shared by the fast-flush, transmit-mode and FIFO calls,
// which tovelser-family adapters do not have: the old value is read before
// the channel is opened.
CallAnswer SetSwitchOption(int com, int value, const char* valueName, DWORD code) {
    if (!IsValidComNumber(com) || value < 0 || value > 1) return kBadArgument;
    const PortResolution port = PortResolution::Resolve(com, Purpose::kChange);
    if (IsTovelserFamily(port.ProductId())) return kRefused;

    const SettingPlace place = LocateSetting(port, valueName);
    const SettingRead old = ReadPortSetting(place);
    if (old.value == kNotStored) return kStoreFailed;

    const platform::DeviceHandle adapter = OpenAdapterChannel(port);
    if (!adapter) return kRefused;
    return ApplyAndStore(adapter,
                         {code, place, ControlRecord(RecordLayout::kChannelFirst, port.Channel(),
                                                     value)},
                         old.value);
}

// Keeps exceptions (only allocation failures can occur) from crossing the
// exported boundary; such a call fails without an error code of its own.
// The answer's code is set once the call has released everything.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return Report(call());
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
            return portopt::kBadArgument;
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
