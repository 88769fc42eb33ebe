// The calls, the listing and the floor (one bare scan of the ports list)
// timed on a Wine machine made by the machine fixture: 64 ports on adapters
// behind the test adapter driver, among 400 devices of other classes, as
// on a real PC.  Each call is also given as a multiple of the floor.  The
// configuration-manager stand-in lets ports resolve to their adapters, so
// every query looks its adapter up and every change reaches the driver.
// Each portopt call is timed as this build's DLL makes it and as another
// build makes it (--baseline=DLL, an earlier version, loaded beside it) or,
// without one, as the calls were made step by step (the reference the
// tests hold them to, compiled in here and given the stand-in too).
//
//   wine_bench.exe [--min-ms=N] [--baseline=DLL]   (through cmake/wine-run.sh)
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
#include "config_manager_standin.h"
#include "wine_machine.h"

namespace {

using Clock = std::chrono::steady_clock;
using fixture::StoreLayout;
using fixture::Target;

constexpr int kPorts = 64;
constexpr int kOtherDevices = 400;

// The DLL the "before" side calls; empty: the step-by-step reference.
std::string baseline;

const fixture::PortoptApi& Before(fixture::MachineFixture& machine) {
    return baseline.empty() ? literal::Api() : machine.OtherPortopt(baseline);
}

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
        for (const bool before : {false, true}) {
            const fixture::PortoptApi& api = before ? Before(machine) : machine.Portopt();
            if (!call.has(api)) continue;  // the reference has no information calls
            const Timing t =
                TimeAgainstFloor([&] { return call.call(api, machine.Comlist(), 0, kPorts); }, 0);
            Report(std::string("listing: `") + call.name + "`" + (before ? " (before)" : ""),
                   layout, "(all)", t);
            allOk = allOk && t.ok;
        }
    }
}

int Run(double minMilliseconds) {
    auto machine = fixture::MakeWineMachineFixture(fixture::ConfigManager::kStandIn);
    const Clock::time_point buildStart = Clock::now();
    fixture::BuildPortMachine(*machine, kPorts, StoreLayout::kPerPort, kOtherDevices);
    std::fprintf(stderr, "wine_bench: built %d ports among %d other devices in %.1f s\n", kPorts,
                 kOtherDevices, std::chrono::duration<double>(Clock::now() - buildStart).count());
    // The reference is compiled in: its configuration-manager calls are
    // this program's own imports.
    if (baseline.empty()) standin::InstallConfigManagerStandIn(GetModuleHandleA(nullptr));

    // Load the DLLs and warm Wine's caches before anything is timed.
    bench::BareScan();
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        call.invoke(*machine, 1, kPorts);
        if (call.has(Before(*machine))) call.call(Before(*machine), machine->Comlist(), 1, kPorts);
    }
    PortctlListing();

    std::printf("Before: %s.\n\n",
                baseline.empty() ? "the calls made step by step" : baseline.c_str());
    std::printf(
        "| Call | Layout | Port asked for | Time per call (ms) | Bare scan (ms) | "
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
            for (Target target : {Target::kFirst, Target::kLast}) {
                const int com = fixture::TargetCom(kPorts, target);
                for (const bool before : {false, true}) {
                    const fixture::PortoptApi& api = before ? Before(*machine) : machine->Portopt();
                    if (!call.has(api)) continue;  // a call the reference does not have
                    const Timing t = TimeAgainstFloor(
                        [&] { return call.call(api, machine->Comlist(), com, kPorts); },
                        minMilliseconds);
                    Report(std::string(call.name) + (before ? " (before)" : ""),
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
        } else if (std::strncmp(argv[i], "--baseline=", 11) == 0) {
            baseline = argv[i] + 11;
        } else {
            std::fprintf(stderr, "usage: wine_bench.exe [--min-ms=N] [--baseline=DLL]\n");
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
