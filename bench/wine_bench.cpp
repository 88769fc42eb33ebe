// The calls, the listing and the floor (one bare scan of the ports list)
// timed on a Wine machine of 64 ports made by the machine fixture, each
// also as a multiple of the floor.  Each portopt call is timed as the DLL
// makes it now (one walk of the ports list) and as it was made before,
// step by step (the reference the tests hold it to, compiled in here).
// Wine's own configuration-manager calls are timed (not the tests'
// stand-in): Wine gives devices no parents, so no port resolves to an
// adapter there, every walk reads the whole ports list, and the change
// calls are refused once they find no adapter (which is what they are
// timed doing).
//
//   wine_bench.exe [--min-ms=N]     (run through cmake/wine-run.sh)
//
// Prints one Markdown table.  Every call is repeated, each time followed by
// a bare scan, for at least N milliseconds (default 300) and at least three
// times.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include "bare_scan.h"
#include "exported_calls.h"
#include "literal_api.h"
#include "listing.h"
#include "machine_fixture.h"
#include "port_enumeration.h"
#include "port_machine.h"
#include "port_names.h"
#include "wine_machine.h"

namespace {

using Clock = std::chrono::steady_clock;
using fixture::StoreLayout;
using fixture::Target;

constexpr int kPorts = 64;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One call's time and the floor's, measured in alternation so that a load
// that comes and goes on the machine weighs on both alike.
struct Timing {
    double callMs = 0;
    double floorMs = 0;
    bool ok = true;
};

Timing TimeAgainstFloor(const std::function<bool()>& call, double minMilliseconds,
                        long minRuns = 3) {
    Timing t;
    long runs = 0;
    double total = 0;
    do {
        Clock::time_point start = Clock::now();
        t.ok = call() && t.ok;
        t.callMs += MillisecondsSince(start);
        start = Clock::now();
        t.ok = bench::BareScan() >= kPorts && t.ok;
        t.floorMs += MillisecondsSince(start);
        total = t.callMs + t.floorMs;
        ++runs;
    } while (runs < minRuns || total < minMilliseconds);
    t.callMs /= double(runs);
    t.floorMs /= double(runs);
    return t;
}

void Report(const std::string& call, const char* layout, const char* port, const Timing& t) {
    std::printf("| %s | %s | %s | %.2f | %.2f | %.1f |%s\n", call.c_str(), layout, port, t.callMs,
                t.floorMs, t.callMs / t.floorMs, t.ok ? "" : " wrong result");
}

// Every listed port's four answers through the exported query calls.
bool NaiveListing(fixture::MachineFixture& machine) {
    const fixture::PortoptApi& api = machine.Portopt();
    int listed = 0;
    for (const std::string& name : portctl::EnumeratePortNames()) {
        const int com = portctl::ComNumberOf(name).value_or(0);
        const int answers[] = {api.PoGetInterface(com), api.PoGetFastFlush(com),
                               api.PoGetTxMode(com), api.PoGetUARTFIFO(com)};
        listed += answers[0] == 0 && answers[1] == 0 && answers[2] == 0 && answers[3] == 1;
    }
    return listed == kPorts;
}

bool PortctlListing() { return portctl::ReadListing().size() == std::size_t(kPorts); }

void CompareListings(fixture::MachineFixture& machine, const char* layout, bool& allOk) {
    // The naive listing makes 256 queries; once is enough to see it.
    const Timing naive = TimeAgainstFloor([&] { return NaiveListing(machine); }, 0, 1);
    Report("listing: names, then 4 query calls per port", layout, "(all)", naive);
    const Timing onePass = TimeAgainstFloor(PortctlListing, 0);
    Report("listing: `portctl list` (one pass)", layout, "(all)", onePass);
    allOk = allOk && naive.ok && onePass.ok;
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        if (call.kind != fixture::CallKind::kAllPortInfo) continue;
        const Timing t = TimeAgainstFloor([&] { return call.invoke(machine, 0, kPorts); }, 0);
        Report(std::string("listing: `") + call.name + "`", layout, "(all)", t);
        allOk = allOk && t.ok;
    }
}

int Run(double minMilliseconds) {
    auto machine = fixture::MakeWineMachineFixture(fixture::ConfigManager::kWines);
    const Clock::time_point buildStart = Clock::now();
    fixture::BuildPortMachine(*machine, kPorts, StoreLayout::kPerPort);
    std::fprintf(stderr, "wine_bench: built %d ports in %.1f s\n", kPorts,
                 std::chrono::duration<double>(Clock::now() - buildStart).count());

    // Load the DLLs and warm Wine's caches before anything is timed.
    bench::BareScan();
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        call.invoke(*machine, 1, kPorts);
        if (call.has(literal::Api())) call.call(literal::Api(), machine->Comlist(), 1, kPorts);
    }
    PortctlListing();

    std::printf("| Call | Layout | Port asked for | Time per call (ms) | Bare scan (ms) | "
                "x bare scan |\n");
    std::printf("|---|---|---|---:|---:|---:|\n");
    bool allOk = true;
    for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
        machine->SetSwitch(fixture::Driver::kKarbend, layout == StoreLayout::kSharedTables);
        for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
            if (call.kind == fixture::CallKind::kListing ||
                call.kind == fixture::CallKind::kAllPortInfo) {
                continue;  // timed with the listings
            }
            // No adapter resolves under Wine: a change is refused, and that
            // is its right result here.
            const bool change = call.kind == fixture::CallKind::kChange;
            for (Target target : {Target::kFirst, Target::kLast}) {
                const int com = fixture::TargetCom(kPorts, target);
                for (const bool before : {false, true}) {
                    const fixture::PortoptApi& api = before ? literal::Api() : machine->Portopt();
                    if (!call.has(api)) continue;  // a call the reference does not have
                    const Timing t = TimeAgainstFloor(
                        [&] { return call.call(api, machine->Comlist(), com, kPorts) != change; },
                        minMilliseconds);
                    Report(std::string(call.name) + (before ? " (before: step by step)" : ""),
                           fixture::LayoutName(layout), fixture::TargetName(target), t);
                    allOk = allOk && t.ok;
                }
            }
        }
    }
    for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
        machine->SetSwitch(fixture::Driver::kKarbend, layout == StoreLayout::kSharedTables);
        CompareListings(*machine, fixture::LayoutName(layout), allOk);
    }
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        if (call.kind != fixture::CallKind::kListing) continue;
        const Timing t =
            TimeAgainstFloor([&] { return call.invoke(*machine, 0, kPorts); }, minMilliseconds);
        Report(call.name, "-", "(all)", t);
        allOk = allOk && t.ok;
    }
    return allOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    double minMilliseconds = 300;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--min-ms=", 9) == 0) {
            minMilliseconds = std::atof(argv[i] + 9);
        } else {
            std::fprintf(stderr, "usage: wine_bench.exe [--min-ms=N]\n");
            return 2;
        }
    }
    try {
        return Run(minMilliseconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wine_bench: %s\n", e.what());
        return 1;
    }
}
