// EnumCOMPorts fed arbitrary "PortName" values: any type, any bytes, any
// size, on devices with one to three COM-port interfaces.  The count stays
// within the interfaces present, every name written is terminated within
// its 260 units, entries past the count are untouched, and nothing is
// left open.  EnumCOMPortsEx, given any capacity, writes the same names as
// far as the capacity reaches, reports the same count, and fails with 122
// exactly when the capacity is short.
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

using Buffers = std::vector<std::vector<comlist_char>>;

Buffers FreshBuffers(int entries, std::vector<comlist_char*>& names) {
    Buffers buffers(entries, std::vector<comlist_char>(COMLIST_NAME_UNITS, kUntouched));
    names.clear();
    for (auto& b : buffers) names.push_back(b.data());
    return buffers;
}

bool Untouched(const std::vector<comlist_char>& b) {
    return std::all_of(b.begin(), b.end(), [](comlist_char u) { return u == kUntouched; });
}

}  // namespace

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
            simwin::AddInterface(id, simwin::kComPortInterface,
                                 "\\\\?\\" + std::to_string(interfaces));
        if (!in.ConsumeBool()) continue;  // no hardware key
        simwin::CreateKey(simwin::HardwareKeyPath(id));
        if (!in.ConsumeBool()) continue;  // no "PortName"
        const DWORD type = in.ConsumeIntegralInRange<DWORD>(0, 11);
        const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, 600);
        simwin::SetValue(simwin::HardwareKeyPath(id), "PortName", type,
                         in.ConsumeBytes<std::uint8_t>(length));
    }

    const int capacity = in.ConsumeIntegralInRange<int>(0, interfaces + 1);
    std::vector<comlist_char*> names;
    const Buffers buffers = FreshBuffers(interfaces + 1, names);
    int count = -1;
    FUZZ_CHECK(EnumCOMPorts(names.data(), &count) == 0);
    FUZZ_CHECK(count >= 0 && count <= interfaces);
    for (int i = 0; i < int(buffers.size()); ++i) {
        const auto& b = buffers[i];
        if (i < count) {
            FUZZ_CHECK(std::find(b.begin(), b.end(), comlist_char(0)) != b.end());
        } else {
            FUZZ_CHECK(Untouched(b));
        }
    }
    FUZZ_CHECK(simwin::GetOutstanding().Empty());

    std::vector<comlist_char*> bounded;
    const Buffers written = FreshBuffers(interfaces + 1, bounded);
    int needed = -1;
    SetLastError(0);
    const int result = EnumCOMPortsEx(bounded.data(), capacity, &needed);
    FUZZ_CHECK(needed == count);
    FUZZ_CHECK(result == (count <= capacity ? 1 : 0));
    FUZZ_CHECK(result == 1 || GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < int(written.size()); ++i) {
        if (i < std::min(count, capacity)) {
            FUZZ_CHECK(written[i] == buffers[i]);
        } else {
            FUZZ_CHECK(Untouched(written[i]));
        }
    }
    FUZZ_CHECK(simwin::GetOutstanding().Empty());
    return 0;
}
