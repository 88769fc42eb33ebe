// What each exported call costs and how that grows with the ports present,
// on the simulated Windows.  Every call resolves its port again from the
// device tree (nothing is cached), so its cost follows the devices its
// scans read before they reach the port asked for.
//
// For each of the nine calls, on machines of 1, 16, 64 and 256 ports, in
// both store layouts, with the port asked for first, in the middle and
// last: the time per call, the device lists built, devices read and
// registry keys opened per call, and the CPU time as a multiple of the
// floor, one bare scan of the whole ports list on the same machine.  Each
// of the eight portopt calls is measured twice in the same run: as the
// library makes it now, resolving its port in one walk, and as it was made
// before, step by step (the reference the equivalence test holds it to).
//
//   portopt_bench [benchmark flags] [--markdown=FILE]
//
// --markdown writes the results as the tables of BENCHMARKS.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bare_scan.h"
#include "exported_calls.h"
#include "literal_api.h"
#include "machine_fixture.h"
#include "port_machine.h"
#include "scan_counts.h"

namespace {

using fixture::StoreLayout;
using fixture::Target;

// The call as the library makes it now, or as it was made step by step.
enum class Side { kNow, kBefore };

struct Row {
    std::string name;  // the benchmark's
    std::string call;
    Side side;
    StoreLayout layout;
    int ports;
    Target target;
    double microseconds = 0;
    double floorMicroseconds = 0;
    double floorMultiple = 0;
    double lists = 0, enumerated = 0, keys = 0;
};

// The last (the reported) run of each benchmark, by name.
std::map<std::string, Row> rows;

// The thread's CPU time: steadier than the wall clock on a machine that
// other work shares, and the calls neither sleep nor wait.
double CpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// CPU time of one bare scan of the ports list on the current machine: the
// best of three batches.
double FloorMicroseconds(std::int64_t runs) {
    runs = std::clamp<std::int64_t>(runs, 100, 5000);
    double best = 0;
    for (int batch = 0; batch < 3; ++batch) {
        const double start = CpuMicroseconds();
        for (std::int64_t i = 0; i < runs; ++i) benchmark::DoNotOptimize(bench::BareScan());
        const double each = (CpuMicroseconds() - start) / double(runs);
        if (batch == 0 || each < best) best = each;
    }
    return best;
}

void RunCall(benchmark::State& state, const fixture::ExportedCall* call, Row row) {
    auto machine = fixture::MakeMachineFixture();
    fixture::BuildPortMachine(*machine, row.ports, row.layout);
    const int com = fixture::TargetCom(row.ports, row.target);

    const fixture::PortoptApi& portopt =
        row.side == Side::kNow ? machine->Portopt() : literal::Api();

    const fixture::ScanCounts before = fixture::CountsSoFar();
    const double start = CpuMicroseconds();
    for (auto _ : state) {
        if (!call->call(portopt, machine->Comlist(), com, row.ports)) {
            state.SkipWithError("the call did not do its work");
            return;
        }
    }
    const double elapsed = CpuMicroseconds() - start;
    const fixture::ScanCounts cost = fixture::CountsSoFar() - before;

    const double runs = double(state.iterations());
    row.microseconds = elapsed / runs;
    row.floorMicroseconds = FloorMicroseconds(state.iterations());
    row.floorMultiple = row.microseconds / row.floorMicroseconds;
    row.lists = cost.lists / runs;
    row.enumerated = cost.enumerated / runs;
    row.keys = cost.keys / runs;
    state.counters["lists"] = row.lists;
    state.counters["devices_read"] = row.enumerated;
    state.counters["keys"] = row.keys;
    state.counters["x_floor"] = row.microseconds / row.floorMicroseconds;
    rows[row.name] = row;
}

void RunFloor(benchmark::State& state, int ports) {
    auto machine = fixture::MakeMachineFixture();
    fixture::BuildPortMachine(*machine, ports, StoreLayout::kPerPort);
    const fixture::ScanCounts before = fixture::CountsSoFar();
    for (auto _ : state) benchmark::DoNotOptimize(bench::BareScan());
    const fixture::ScanCounts cost = fixture::CountsSoFar() - before;
    state.counters["lists"] = cost.lists / double(state.iterations());
    state.counters["devices_read"] = cost.enumerated / double(state.iterations());
}

constexpr int kPorts[] = {1, 16, 64, 256};

// The simulator's own cost as machines grow past what the calls address:
// building the machine, listing every port and changing COM 256.  Its
// walks must stay linear, or large machines would slow every test.
void RunSimulatorGrowth(benchmark::State& state, int ports) {
    for (auto _ : state) {
        auto machine = fixture::MakeMachineFixture();
        fixture::BuildPortMachine(*machine, ports, StoreLayout::kPerPort);
        for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
            const bool used = call.kind == fixture::CallKind::kListing ||
                              std::strcmp(call.name, "PoSetTxMode") == 0;
            if (used && !call.invoke(*machine, 256, ports)) state.SkipWithError("call failed");
        }
    }
}

void RegisterAll() {
    for (int ports : kPorts) {
        benchmark::RegisterBenchmark(("floor/ports:" + std::to_string(ports)).c_str(), RunFloor,
                                     ports);
    }
    for (int ports : {256, 1024}) {
        benchmark::RegisterBenchmark(("simulator/build_list_change/ports:" + std::to_string(ports)).c_str(),
                                     RunSimulatorGrowth, ports)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
            for (int ports : kPorts) {
                for (Target target : {Target::kFirst, Target::kMiddle, Target::kLast}) {
                    // One port is first, middle and last at once; the
                    // listing and the all-ports call read every port
                    // whichever is asked for, and the listing no setting.
                    const bool listing = call.kind == fixture::CallKind::kListing;
                    const bool everyPort = listing || call.kind == fixture::CallKind::kAllPortInfo;
                    if (listing && layout != StoreLayout::kPerPort) continue;
                    if (target != Target::kFirst && (ports == 1 || everyPort)) continue;
                    for (Side side : {Side::kNow, Side::kBefore}) {
                        // The lister did not change; the information calls
                        // are new.
                        if (side == Side::kBefore && (listing || !call.has(literal::Api()))) {
                            continue;
                        }
                        const std::string name =
                            std::string(side == Side::kNow ? "" : "before/") + call.name + "/" +
                            fixture::LayoutName(layout) + "/ports:" + std::to_string(ports) + "/" +
                            fixture::TargetName(target);
                        benchmark::RegisterBenchmark(
                            name.c_str(), RunCall, &call,
                            Row{name, call.name, side, layout, ports, target});
                    }
                }
            }
        }
    }
}

const Row* FindRow(const std::string& call, Side side, StoreLayout layout, int ports,
                   Target target) {
    for (const auto& [name, row] : rows) {
        if (row.call == call && row.side == side && row.layout == layout && row.ports == ports &&
            row.target == target)
            return &row;
    }
    return nullptr;
}

// "before -> now" of one figure, or the figure alone where the call did not
// change.
std::string BeforeNow(const Row* before, const Row& now, double Row::*figure, const char* format) {
    char buffer[64];
    std::string text;
    if (before) {
        std::snprintf(buffer, sizeof buffer, format, before->*figure);
        text = std::string(buffer) + " → ";
    }
    std::snprintf(buffer, sizeof buffer, format, now.*figure);
    return text + buffer;
}

// One table per layout: a row per call and port asked for, with its lists
// and keys (which do not depend on the machine), and a column per machine
// size holding "CPU time in us (multiple of the floor, devices read)",
// each as "before → now".  The listing, which reads no setting and did not
// change, is in the first table.
void WriteMarkdown(std::FILE* out) {
    for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
        std::fprintf(out, "\n#### %s layout\n\n| Call | Port asked for | Lists | Keys opened |",
                     fixture::LayoutName(layout));
        for (int ports : kPorts) std::fprintf(out, " %d port%s |", ports, ports == 1 ? "" : "s");
        std::fprintf(out, "\n|---|---|---:|---:|");
        for (std::size_t i = 0; i < std::size(kPorts); ++i) std::fprintf(out, "---:|");
        std::fprintf(out, "\n");
        for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
            for (Target target : {Target::kFirst, Target::kMiddle, Target::kLast}) {
                const int largest = kPorts[std::size(kPorts) - 1];
                const Row* any = FindRow(call.name, Side::kNow, layout, largest, target);
                if (!any) continue;
                const Row* anyBefore = FindRow(call.name, Side::kBefore, layout, largest, target);
                const bool everyPort = call.kind == fixture::CallKind::kListing ||
                                       call.kind == fixture::CallKind::kAllPortInfo;
                const std::string perPortKeys =
                    "one per port + " + std::to_string(int(any->keys) - largest);
                std::fprintf(out, "| `%s` | %s | %s | %s |", call.name,
                             everyPort ? "(all)" : fixture::TargetName(target),
                             BeforeNow(anyBefore, *any, &Row::lists, "%.0f").c_str(),
                             everyPort ? perPortKeys.c_str()
                                       : BeforeNow(anyBefore, *any, &Row::keys, "%.0f").c_str());
                for (int ports : kPorts) {
                    const Row* r = FindRow(call.name, Side::kNow, layout, ports, target);
                    if (!r) {
                        std::fprintf(out, " - |");  // one port is first, middle and last
                        continue;
                    }
                    const Row* b = FindRow(call.name, Side::kBefore, layout, ports, target);
                    std::fprintf(out, " %s (%s, %s) |",
                                 BeforeNow(b, *r, &Row::microseconds, "%.1f").c_str(),
                                 BeforeNow(b, *r, &Row::floorMultiple, "%.1fx").c_str(),
                                 BeforeNow(b, *r, &Row::enumerated, "%.0f").c_str());
                }
                std::fprintf(out, "\n");
            }
        }
    }
    std::fprintf(out, "\n#### Floor: one bare scan of the ports list\n\n| |");
    for (int ports : kPorts) std::fprintf(out, " %d port%s |", ports, ports == 1 ? "" : "s");
    std::fprintf(out, "\n|---|");
    for (std::size_t i = 0; i < std::size(kPorts); ++i) std::fprintf(out, "---:|");
    std::fprintf(out, "\n| CPU time (us) |");
    for (int ports : kPorts) {
        // Every row measured the floor on its own machine of that size;
        // any of them stands for the rest.
        double floor = 0;
        for (const auto& [name, row] : rows) {
            if (row.ports == ports) floor = row.floorMicroseconds;
        }
        std::fprintf(out, " %.1f |", floor);
    }
    std::fprintf(out, "\n| devices in the list |");
    for (int ports : kPorts) {
        std::fprintf(out, " %d |", ports + (ports + fixture::kPortsPerAdapter - 1) / fixture::kPortsPerAdapter);
    }
    std::fprintf(out, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char* markdown = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--markdown=", 11) == 0) {
            markdown = argv[i] + 11;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (markdown) {
        std::FILE* out = std::fopen(markdown, "w");
        if (!out) {
            std::perror(markdown);
            return 1;
        }
        WriteMarkdown(out);
        std::fclose(out);
    }
    return 0;
}
