// Both store readers fed arbitrary values through the simulated registry:
// the FixComFunc switch, the shared table and the per-port value each get
// a type and bytes of the input's choosing.  Reading must stay within the
// documented answers, a change that reports success must read back, and
// nothing may be left open.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "one_step.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"
#include "simwin/machine.h"

namespace {

// Each value name with the option it stores (of whichever family uses it).
struct Named {
    const char* name;
    portopt::Option option;
};
const Named kNames[] = {{"InterfaceMode", portopt::Option::kInterfaceMode},
                        {"SerInterface", portopt::Option::kInterfaceMode},
                        {"FastFlush", portopt::Option::kFastFlush},
                        {"TxMode", portopt::Option::kTxMode},
                        {"DisableFiFo", portopt::Option::kUartFifo}};
constexpr int kCom = 7;

void SetArbitraryValue(FuzzedDataProvider& in, const std::string& key, const char* name,
                       std::size_t maxBytes) {
    if (!in.ConsumeBool()) return;  // no value at all
    const DWORD type = in.ConsumeIntegralInRange<DWORD>(0, 11);
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, maxBytes);
    simwin::SetValue(key, name, type, in.ConsumeBytes<std::uint8_t>(length));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    simwin::Reset();
    const bool tovelser = in.ConsumeBool();
    const std::string adapter =
        tovelser ? "USB\\VID_1A2B&PID_1131\\1" : "USB\\VID_1A2B&PID_2201\\1";
    const std::string switchKey = std::string("SYSTEM\\CurrentControlSet\\Services\\") +
                                  (tovelser ? "tovelser" : "KARBEND") + "\\FixComFunc";
    simwin::AddDevice(adapter);
    simwin::AddInterface(adapter, simwin::kPortsClass, "\\\\?\\adapter");
    simwin::AddDevice("PORTS\\1", adapter);
    simwin::SetFriendlyName("PORTS\\1", "Adapter Port 2 (COM7)");
    simwin::AddInterface("PORTS\\1", simwin::kPortsClass, "\\\\?\\port");
    simwin::CreateKey(simwin::HardwareKeyPath("PORTS\\1"));
    simwin::CreateKey(switchKey);

    const Named& named = kNames[in.ConsumeIntegralInRange<int>(0, 4)];
    const char* name = named.name;
    SetArbitraryValue(in, switchKey, "FixComFunc", 8);
    SetArbitraryValue(in, switchKey, name, 300);
    SetArbitraryValue(in, simwin::HardwareKeyPath("PORTS\\1"), name, 12);
    const int com = in.ConsumeBool() ? kCom : in.ConsumeIntegralInRange<int>(1, 256);

    const portopt::DriverFamily& family = portopt::FamilyOf(one_step::LookupProductId(com));
    if (family.Has(named.option)) {
        const bool table = portopt::ReadSwitch(family) != 0;
        const int value = one_step::ReadPortSetting(com, named.option);
        FUZZ_CHECK(!table || (value >= -1 && value <= 254));
    }

    PoGetInterface(com);
    PoGetUARTFIFO(com);
    const int mode = in.ConsumeIntegralInRange<int>(0, 1);
    if (PoSetTxMode(com, mode) == 1) FUZZ_CHECK(PoGetTxMode(com) == mode);
    FUZZ_CHECK(simwin::GetOutstanding().Empty());
    return 0;
}
