// EnumCOMPorts fed arbitrary "PortName" values: any type, any bytes, any
// size, on devices with one to three COM-port interfaces.  The count stays
// within the interfaces present, every name written is terminated within
// its 260 units, entries past the count are untouched, and nothing is
// left open.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "comlist.h"
#include "fuzz_check.h"
#include "simwin/machine.h"

namespace {
constexpr comlist_char kUntouched = 0xCCCC;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    simwin::Reset();
    const int devices = in.ConsumeIntegralInRange<int>(0, 4);
    int interfaces = 0;
    for (int d = 0; d < devices; ++d) {
        const std::string id = "ACPI\\PNP0501\\" + std::to_string(d);
        simwin::AddDevice(id);
        const int count = in.ConsumeIntegralInRange<int>(1, 3);
        for (int i = 0; i < count; ++i, ++interfaces)
            simwin::AddInterface(id, simwin::kComPortInterface, "\\\\?\\" + std::to_string(interfaces));
        if (!in.ConsumeBool()) continue;  // no hardware key
        simwin::CreateKey(simwin::HardwareKeyPath(id));
        if (!in.ConsumeBool()) continue;  // no "PortName"
        const DWORD type = in.ConsumeIntegralInRange<DWORD>(0, 11);
        const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, 600);
        simwin::SetValue(simwin::HardwareKeyPath(id), "PortName", type,
                         in.ConsumeBytes<std::uint8_t>(length));
    }

    std::vector<std::vector<comlist_char>> buffers(
        interfaces + 1, std::vector<comlist_char>(COMLIST_NAME_UNITS, kUntouched));
    std::vector<comlist_char*> names;
    for (auto& b : buffers) names.push_back(b.data());
    int count = -1;
    FUZZ_CHECK(EnumCOMPorts(names.data(), &count) == 0);
    FUZZ_CHECK(count >= 0 && count <= interfaces);
    for (int i = 0; i < int(buffers.size()); ++i) {
        const auto& b = buffers[i];
        if (i < count) {
            FUZZ_CHECK(std::find(b.begin(), b.end(), comlist_char(0)) != b.end());
        } else {
            FUZZ_CHECK(std::all_of(b.begin(), b.end(), [](comlist_char u) { return u == kUntouched; }));
        }
    }
    FUZZ_CHECK(simwin::GetOutstanding().Empty());
    return 0;
}
