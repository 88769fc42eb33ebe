// The eight calls as they were: each step resolves the port again.  The
// value names and control codes are written out here as the drivers know
// them, so that the calls are held against the drivers' own numbers.
#include "literal_calls.h"

#include "adapter_channel.h"
#include "control_request.h"
#include "interface_code.h"
#include "literal_steps.h"
#include "port_identity.h"
#include "port_option.h"

namespace literal {

namespace {

using portopt::ControlRecord;
using portopt::RecordLayout;

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

struct Change {
    DWORD code;
    Place place;
    ControlRecord record;
};

int CloseAndFail(platform::DeviceHandle& adapter, DWORD error) {
    adapter.reset();
    return Fail(error);
}

int ApplyAndStore(platform::DeviceHandle& adapter, int port, Change change, int old) {
    if (!portopt::SendControlRequest(adapter.get(), change.code, change.record)) return 0;
    if (WriteSetting(change.place, port, change.record.Value())) return 1;
    change.record.SetValue(old);
    portopt::SendControlRequest(adapter.get(), change.code, change.record);
    return CloseAndFail(adapter, ERROR_REGISTRY_IO_FAILED);
}

int SetSwitchOption(int port, int value, const char* name, DWORD code) {
    if (!portopt::IsValidComNumber(port) || value < 0 || value > 1) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const int product = LookupProductId(port);
    if (portopt::IsTovelserFamily(product)) return 0;
    const Place place = LocateSetting(product, name);
    const int old = ReadSetting(place, port);
    if (old == portopt::kNotStored) return Fail(ERROR_REGISTRY_IO_FAILED);
    int channel = portopt::kNoChannel;
    platform::DeviceHandle adapter = OpenAdapterChannel(port, channel);
    if (!adapter) return 0;
    return ApplyAndStore(adapter, port,
                         {code, place, ControlRecord(RecordLayout::kChannelFirst, channel, value)},
                         old);
}

template <typename Tovelser, typename Other>
int Query(int port, Tovelser tovelser, Other other) {
    if (!portopt::IsValidComNumber(port)) return Fail(ERROR_INVALID_PARAMETER);
    return portopt::IsTovelserFamily(LookupProductId(port)) ? tovelser(port) : other(port);
}

int NoSuchOption(int) { return 0; }

}  // namespace

int PoGetInterface(int port) {
    return Query(
        port, [](int p) { return ReadPortSetting(p, "SerInterface"); },
        [](int p) { return portopt::TranslateInterfaceCode(ReadPortSetting(p, "InterfaceMode")); });
}

int PoGetFastFlush(int port) {
    return Query(port, NoSuchOption, [](int p) { return ReadPortSetting(p, "FastFlush"); });
}

int PoGetTxMode(int port) {
    return Query(port, NoSuchOption, [](int p) { return ReadPortSetting(p, "TxMode"); });
}

int PoGetUARTFIFO(int port) {
    return Query(port, NoSuchOption,
                 [](int p) { return ReadPortSetting(p, "DisableFiFo") == 0 ? 1 : 0; });
}

int PoSetInterface(int port, int mode) {
    if (!portopt::IsValidComNumber(port) || mode < 0 || mode > 3) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const int product = LookupProductId(port);
    int channel = portopt::kNoChannel;
    platform::DeviceHandle adapter = OpenAdapterChannel(port, channel);
    if (!adapter) return 0;
    const int capability = portopt::CapabilityCode(product);
    if (capability == 0x30 && mode == 0) return 0;
    if (capability == 0x10) return mode == 0 ? 1 : 0;
    const Change change = portopt::IsTovelserFamily(product)
                              ? Change{0x00222080, LocateSetting(product, "SerInterface"),
                                       ControlRecord(RecordLayout::kValueFirst, channel, mode)}
                              : Change{0x04042014, LocateSetting(product, "InterfaceMode"),
                                       ControlRecord(RecordLayout::kChannelFirst, channel,
                                                     portopt::TranslateInterfaceCode(mode))};
    const int old = ReadSetting(change.place, port);
    if (old == portopt::kNotStored) return CloseAndFail(adapter, ERROR_REGISTRY_IO_FAILED);
    return ApplyAndStore(adapter, port, change, old);
}

int PoSetFastFlush(int port, int on) { return SetSwitchOption(port, on, "FastFlush", 0x04042018); }

int PoSetTxMode(int port, int mode) { return SetSwitchOption(port, mode, "TxMode", 0x0404201C); }

int PoSetUARTFIFO(int port, int enable) {
    return SetSwitchOption(port, enable == 0 ? 1 : 0, "DisableFiFo", 0x04042020);
}

}  // namespace literal
