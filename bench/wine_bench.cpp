// The query calls, the listing and the floor (one bare scan of the ports
// list) timed on a Wine machine of 64 ports made by the machine fixture,
// each also as a multiple of the floor.  Wine gives devices no parents, so
// no port resolves to an adapter there: every lookup reads the whole ports
// list, and the change calls, which stop at the channel open, are left out.
//
//   wine_bench.exe [--min-ms=N]     (run through cmake/wine-run.sh)
//
// Prints one Markdown table.  Every call is repeated for at least N
// milliseconds (default 300) and at least three times.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include "bare_scan.h"
#include "exported_calls.h"
#include "machine_fixture.h"
#include "port_machine.h"

namespace {

using Clock = std::chrono::steady_clock;
using fixture::StoreLayout;
using fixture::Target;

constexpr int kPorts = 64;

double MillisecondsPerRun(const std::function<bool()>& run, double minMilliseconds, bool& ok) {
    ok = true;
    long runs = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
        ok = run() && ok;
        ++runs;
        elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    } while (runs < 3 || elapsed < minMilliseconds);
    return elapsed / double(runs);
}

void Report(const char* call, const char* layout, const char* port, double ms, double floorMs,
            bool ok) {
    std::printf("| %s | %s | %s | %.2f | %.1f |%s\n", call, layout, port, ms, ms / floorMs,
                ok ? "" : " wrong result");
}

int Run(double minMilliseconds) {
    auto machine = fixture::MakeMachineFixture();
    const Clock::time_point buildStart = Clock::now();
    fixture::BuildPortMachine(*machine, kPorts, StoreLayout::kPerPort);
    std::fprintf(stderr, "wine_bench: built %d ports in %.1f s\n", kPorts,
                 std::chrono::duration<double>(Clock::now() - buildStart).count());

    bool ok = true;
    const double floorMs =
        MillisecondsPerRun([] { return bench::BareScan() >= kPorts; }, minMilliseconds, ok);
    std::printf("| Call | Layout | Port asked for | Time per call (ms) | x bare scan |\n");
    std::printf("|---|---|---|---:|---:|\n");
    Report("bare scan of the ports list", "-", "-", floorMs, floorMs, ok);

    bool allOk = ok;
    for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
        machine->SetSwitch(fixture::Driver::kKarbend, layout == StoreLayout::kSharedTables);
        for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
            if (call.kind != fixture::CallKind::kQuery) continue;
            for (Target target : {Target::kFirst, Target::kLast}) {
                const int com = fixture::TargetCom(kPorts, target);
                const double ms = MillisecondsPerRun(
                    [&] { return call.invoke(*machine, com, kPorts); }, minMilliseconds, ok);
                Report(call.name, fixture::LayoutName(layout), fixture::TargetName(target), ms,
                       floorMs, ok);
                allOk = allOk && ok;
            }
        }
    }
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        if (call.kind != fixture::CallKind::kListing) continue;
        const double ms = MillisecondsPerRun([&] { return call.invoke(*machine, 0, kPorts); },
                                             minMilliseconds, ok);
        Report(call.name, "-", "(all)", ms, floorMs, ok);
        allOk = allOk && ok;
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
