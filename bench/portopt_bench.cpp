// What each exported call costs and how that grows with the ports present,
// on the simulated Windows.  Every call resolves its port again from the
// device tree (nothing is cached), so its cost follows the devices its
// lists hold and its scans read before they reach the port asked for.
//
// For each of the nine calls, on machines of 1, 16, 64 and 256 ports and on
// one of 64 ports among 3000 devices of other classes (as on a real PC), in
// both store layouts, with the port asked for first, in the middle and
// last: the time per call, the device lists built and the devices they
// held, the devices read and registry keys opened per call, and the CPU
// time as a multiple of the floor, one bare scan of the whole ports list on
// the same machine.  Each of the eight portopt calls and the all-ports call
// is measured twice in the same run: as this build makes it, and as another
// build of the library makes it (--baseline=libportopt.so, an earlier
// version) or, without one, as the calls were made step by step (the
// reference the equivalence test holds them to).
//
//   portopt_bench [benchmark flags] [--baseline=LIB] [--markdown=FILE]
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

// The call as this build makes it, or as the build it is compared with.
enum class Side { kNow, kBefore };

// The library the "before" side calls: another build, or the step-by-step
// reference when none was given.
std::string baseline;

struct MachineSize {
    int ports;
    int others;  // devices of other classes
};
constexpr MachineSize kMachines[] = {{1, 0}, {16, 0}, {64, 0}, {256, 0}, {64, 3000}};

std::string Describe(const MachineSize& m) {
    std::string text = std::to_string(m.ports) + (m.ports == 1 ? " port" : " ports");
    return m.others ? text + " among " + std::to_string(m.others) + " other devices" : text;
}

struct Row {
    std::string name;  // the benchmark's
    std::string call;
    Side side;
    StoreLayout layout;
    MachineSize machine;
    Target target;
    double microseconds = 0;
    double floorMicroseconds = 0;
    double floorMultiple = 0;
    double lists = 0, listed = 0, enumerated = 0, keys = 0;
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

const fixture::PortoptApi& Library(fixture::MachineFixture& machine, Side side) {
    if (side == Side::kNow) return machine.Portopt();
    return baseline.empty() ? literal::Api() : machine.OtherPortopt(baseline);
}

void RunCall(benchmark::State& state, const fixture::ExportedCall* call, Row row) {
    auto machine = fixture::MakeMachineFixture();
    fixture::BuildPortMachine(*machine, row.machine.ports, row.layout, row.machine.others);
    const int com = fixture::TargetCom(row.machine.ports, row.target);
    const fixture::PortoptApi& portopt = Library(*machine, row.side);

    const fixture::ScanCounts before = fixture::CountsSoFar();
    const double start = CpuMicroseconds();
    for (auto _ : state) {
        if (!call->call(portopt, machine->Comlist(), com, row.machine.ports)) {
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
    row.listed = cost.listed / runs;
    row.enumerated = cost.enumerated / runs;
    row.keys = cost.keys / runs;
    state.counters["lists"] = row.lists;
    state.counters["listed"] = row.listed;
    state.counters["devices_read"] = row.enumerated;
    state.counters["keys"] = row.keys;
    state.counters["x_floor"] = row.floorMultiple;
    rows[row.name] = row;
}

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

std::string MachineName(const MachineSize& m) {
    return "ports:" + std::to_string(m.ports) +
           (m.others ? "/others:" + std::to_string(m.others) : "");
}

void RegisterCall(const fixture::ExportedCall& call, StoreLayout layout, const MachineSize& m,
                  Target target) {
    for (Side side : {Side::kNow, Side::kBefore}) {
        // The lister is not portopt's; the step-by-step reference has no
        // information calls.
        const bool listing = call.kind == fixture::CallKind::kListing;
        if (side == Side::kBefore && (listing || (baseline.empty() && !call.has(literal::Api())))) {
            continue;
        }
        const std::string name = std::string(side == Side::kNow ? "" : "before/") + call.name +
                                 "/" + fixture::LayoutName(layout) + "/" + MachineName(m) + "/" +
                                 fixture::TargetName(target);
        benchmark::RegisterBenchmark(name.c_str(), RunCall, &call,
                                     Row{name, call.name, side, layout, m, target});
    }
}

void RegisterAll() {
    for (int ports : {256, 1024}) {
        benchmark::RegisterBenchmark(
            ("simulator/build_list_change/ports:" + std::to_string(ports)).c_str(),
            RunSimulatorGrowth, ports)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
        for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
            for (const MachineSize& m : kMachines) {
                for (Target target : {Target::kFirst, Target::kMiddle, Target::kLast}) {
                    // One port is first, middle and last at once; the
                    // listing and the all-ports call read every port
                    // whichever is asked for, and the listing no setting.
                    const bool listing = call.kind == fixture::CallKind::kListing;
                    const bool everyPort = listing || call.kind == fixture::CallKind::kAllPortInfo;
                    if (listing && layout != StoreLayout::kPerPort) continue;
                    if (target != Target::kFirst && (m.ports == 1 || everyPort)) continue;
                    RegisterCall(call, layout, m, target);
                }
            }
        }
    }
}

bool SameMachine(const MachineSize& a, const MachineSize& b) {
    return a.ports == b.ports && a.others == b.others;
}

const Row* FindRow(const std::string& call, Side side, StoreLayout layout, const MachineSize& m,
                   Target target) {
    for (const auto& [name, row] : rows) {
        if (row.call == call && row.side == side && row.layout == layout &&
            SameMachine(row.machine, m) && row.target == target)
            return &row;
    }
    return nullptr;
}

// "before -> now" of one figure, or the figure alone where there is no
// "before".
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

void WriteHeader(std::FILE* out, const char* first) {
    std::fprintf(out, "| %s |", first);
    for (const MachineSize& m : kMachines) std::fprintf(out, " %s |", Describe(m).c_str());
    std::fprintf(out, "\n|---|---|");
    for (std::size_t i = 0; i < std::size(kMachines); ++i) std::fprintf(out, "---:|");
    std::fprintf(out, "\n");
}

// One table per layout: a row per call and port asked for, and a column
// per machine holding "CPU time in us (multiple of the floor; lists,
// devices they held, devices read, keys opened)", each as "before → now".
void WriteMarkdown(std::FILE* out) {
    std::fprintf(out, "Before: %s.\n",
                 baseline.empty() ? "the calls made step by step" : baseline.c_str());
    for (StoreLayout layout : {StoreLayout::kPerPort, StoreLayout::kSharedTables}) {
        std::fprintf(out, "\n#### %s layout\n\n", fixture::LayoutName(layout));
        WriteHeader(out, "Call | Port asked for");
        for (const fixture::ExportedCall& call : fixture::ExportedCalls()) {
            for (Target target : {Target::kFirst, Target::kMiddle, Target::kLast}) {
                const bool everyPort = call.kind == fixture::CallKind::kListing ||
                                       call.kind == fixture::CallKind::kAllPortInfo;
                std::string line;
                bool any = false;
                for (const MachineSize& m : kMachines) {
                    const Row* r = FindRow(call.name, Side::kNow, layout, m, target);
                    if (!r) {
                        line += " - |";  // one port is first, middle and last
                        continue;
                    }
                    any = true;
                    const Row* b = FindRow(call.name, Side::kBefore, layout, m, target);
                    line += " " + BeforeNow(b, *r, &Row::microseconds, "%.1f") + " (" +
                            BeforeNow(b, *r, &Row::floorMultiple, "%.1fx") + "; " +
                            BeforeNow(b, *r, &Row::lists, "%.0f") + ", " +
                            BeforeNow(b, *r, &Row::listed, "%.0f") + ", " +
                            BeforeNow(b, *r, &Row::enumerated, "%.0f") + ", " +
                            BeforeNow(b, *r, &Row::keys, "%.0f") + ") |";
                }
                if (!any) continue;
                std::fprintf(out, "| `%s` | %s |%s\n", call.name,
                             everyPort ? "(all)" : fixture::TargetName(target), line.c_str());
            }
        }
    }
    std::fprintf(out, "\n#### Floor: one bare scan of the ports list\n\n");
    WriteHeader(out, " | ");
    std::fprintf(out, "| CPU time (us) | |");
    for (const MachineSize& m : kMachines) {
        // Every row measured the floor on its own machine of that size;
        // any of them stands for the rest.
        double floor = 0;
        for (const auto& [name, row] : rows) {
            if (SameMachine(row.machine, m)) floor = row.floorMicroseconds;
        }
        std::fprintf(out, " %.1f |", floor);
    }
    std::fprintf(out, "\n| devices in the ports list | |");
    for (const MachineSize& m : kMachines) {
        std::fprintf(
            out, " %d |",
            m.ports + (m.ports + fixture::kPortsPerAdapter - 1) / fixture::kPortsPerAdapter);
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
        } else if (std::strncmp(argv[i], "--baseline=", 11) == 0) {
            baseline = argv[i] + 11;
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
