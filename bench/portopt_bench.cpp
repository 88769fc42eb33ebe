// How the calls scale with the number of COM ports present.  Every call
// rescans the device tree (nothing is cached), so the cost grows with the
// ports that enumerate before the one asked for; the worst case, the last
// port, is measured.
#include <benchmark/benchmark.h>

#include <string>

#include "portopt.h"
#include "simwin/machine.h"

namespace {

constexpr int kPortsPerAdapter = 8;
constexpr const char* kSwitchKey = "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";

std::string AdapterId(int a) { return "USB\\VID_1A2B&PID_1040\\ADAPTER" + std::to_string(a); }
std::string PortId(int com) { return "ADPTBUS\\PORT" + std::to_string(com); }

// `ports` COM ports, numbered 1 up, on adapters of eight ports each, every
// setting stored in both layouts.
void BuildMachine(int ports, bool sharedTables) {
    simwin::Reset();
    for (int com = 1; com <= ports; ++com) {
        const int adapter = (com - 1) / kPortsPerAdapter;
        if ((com - 1) % kPortsPerAdapter == 0) {
            simwin::AddDevice(AdapterId(adapter));
            simwin::AddInterface(AdapterId(adapter), simwin::kPortsClass,
                                 "\\\\?\\adapter" + std::to_string(adapter));
        }
        const int position = (com - 1) % kPortsPerAdapter + 1;
        simwin::AddDevice(PortId(com), AdapterId(adapter));
        simwin::SetFriendlyName(PortId(com), "Adapter Port " + std::to_string(position) +
                                                 " (COM" + std::to_string(com) + ")");
        simwin::AddInterface(PortId(com), simwin::kPortsClass,
                             "\\\\?\\port" + std::to_string(com));
        const std::string key = simwin::HardwareKeyPath(PortId(com));
        simwin::CreateKey(key);
        simwin::SetDword(key, "InterfaceMode", 1);
        simwin::SetDword(key, "TxMode", 0);
    }
    simwin::CreateKey(kSwitchKey);
    simwin::SetDword(kSwitchKey, "FixComFunc", sharedTables ? 1 : 0);
    simwin::SetValue(kSwitchKey, "InterfaceMode", REG_BINARY, simwin::Bytes(256, 1));
    simwin::SetValue(kSwitchKey, "TxMode", REG_BINARY, simwin::Bytes(256, 0));
}

void BM_GetInterface(benchmark::State& state) {
    const int ports = static_cast<int>(state.range(0));
    BuildMachine(ports, state.range(1) != 0);
    for (auto _ : state) benchmark::DoNotOptimize(PoGetInterface(ports));
    state.counters["ports"] = ports;
}

void BM_SetTxMode(benchmark::State& state) {
    const int ports = static_cast<int>(state.range(0));
    BuildMachine(ports, state.range(1) != 0);
    int mode = 0;
    for (auto _ : state) {
        mode ^= 1;
        if (!PoSetTxMode(ports, mode)) state.SkipWithError("change failed");
    }
    state.counters["ports"] = ports;
}

// Arguments: ports present, shared tables (1) or per-port values (0).
BENCHMARK(BM_GetInterface)->ArgsProduct({{8, 64, 256}, {0, 1}});
BENCHMARK(BM_SetTxMode)->ArgsProduct({{8, 64, 256}, {0, 1}});

}  // namespace

BENCHMARK_MAIN();
