// portctl's listing against the naive one, measured in the same run on the
// simulated Windows: the names from EnumCOMPorts, then either one pass
// over the device tree and the store (what `portctl list` does) or the four
// exported query calls per port, each of which rescans the device tree.
// Reported per listing: the time, and the device lists built (every list
// is one scan of the device tree), devices read and registry keys opened.
//
//   portctl_list_bench [benchmark flags]
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "listing.h"
#include "machine_fixture.h"
#include "port_enumeration.h"
#include "port_machine.h"
#include "port_names.h"
#include "portopt.h"
#include "scan_counts.h"

namespace {

using fixture::StoreLayout;

int NaiveListing() {
    int sum = 0;
    for (const std::string& name : portctl::EnumeratePortNames()) {
        const int com = portctl::ComNumberOf(name).value_or(0);
        sum += PoGetInterface(com) + PoGetFastFlush(com) + PoGetTxMode(com) + PoGetUARTFIFO(com);
    }
    return sum;
}

void RunListing(benchmark::State& state, bool onePass) {
    const int ports = static_cast<int>(state.range(0));
    const auto layout = state.range(1) ? StoreLayout::kSharedTables : StoreLayout::kPerPort;
    auto machine = fixture::MakeMachineFixture();
    fixture::BuildPortMachine(*machine, ports, layout);

    const fixture::ScanCounts before = fixture::CountsSoFar();
    for (auto _ : state) {
        if (onePass) {
            benchmark::DoNotOptimize(portctl::ReadListing());
        } else {
            benchmark::DoNotOptimize(NaiveListing());
        }
    }
    const fixture::ScanCounts used = fixture::CountsSoFar() - before;
    const auto perListing = benchmark::Counter::kAvgIterations;
    state.counters["lists"] = benchmark::Counter(double(used.lists), perListing);
    state.counters["devices"] = benchmark::Counter(double(used.enumerated), perListing);
    state.counters["keys"] = benchmark::Counter(double(used.keys), perListing);
    state.SetLabel(fixture::LayoutName(layout));
}

void BM_PortctlList(benchmark::State& state) { RunListing(state, true); }
void BM_NaiveQueryLoop(benchmark::State& state) { RunListing(state, false); }

// Arguments: ports present, shared tables (1) or per-port values (0).
BENCHMARK(BM_PortctlList)->ArgsProduct({{16, 256}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NaiveQueryLoop)->ArgsProduct({{16, 256}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
