// The exported calls, each resolving its port in one walk, against the
// calls as they were made step by step (tests/reference), on generated
// machines.  For every COM number and every call both must give the same
// answer, the same last-error code where the library sets one, the same
// stored values and the same requests to every adapter, wherever the steps
// of the old call settle on the same port.  Where two devices carry the
// COM number and the old steps part (the lookup on one, the channel, the
// reader or the writer on another), the new call must act wholly on the
// port it resolved: exactly as the old call does on the same machine with
// the other claimants of the COM number taken away.
#include <gtest/gtest.h>

#include <iostream>

#include <string>
#include <vector>

#include "device_setup.h"
#include "generated_machine.h"
#include "guids.h"
#include "literal_calls.h"
#include "literal_steps.h"
#include "port_identity.h"
#include "portopt.h"

namespace {

using Export = int (*)(int, int);

struct Call {
    const char* name;
    Export current;
    Export literal;
    // The per-port value the call reads, by the adapter's family (null for
    // none); and the arguments a change is tried with.
    const char* tovelserSetting;
    const char* otherSetting;
    std::vector<int> arguments;
};

#define QUERY(call) [](int port, int) { return call(port); }
const Call kCalls[] = {
    {"PoGetInterface",
     QUERY(PoGetInterface),
     QUERY(literal::PoGetInterface),
     "SerInterface",
     "InterfaceMode",
     {0}},
    {"PoGetFastFlush",
     QUERY(PoGetFastFlush),
     QUERY(literal::PoGetFastFlush),
     nullptr,
     "FastFlush",
     {0}},
    {"PoGetTxMode", QUERY(PoGetTxMode), QUERY(literal::PoGetTxMode), nullptr, "TxMode", {0}},
    {"PoGetUARTFIFO",
     QUERY(PoGetUARTFIFO),
     QUERY(literal::PoGetUARTFIFO),
     nullptr,
     "DisableFiFo",
     {0}},
    {"PoSetInterface",
     PoSetInterface,
     literal::PoSetInterface,
     "SerInterface",
     "InterfaceMode",
     {0, 1, 2, 3}},
    {"PoSetFastFlush", PoSetFastFlush, literal::PoSetFastFlush, nullptr, "FastFlush", {0, 1}},
    {"PoSetTxMode", PoSetTxMode, literal::PoSetTxMode, nullptr, "TxMode", {0, 1}},
    {"PoSetUARTFIFO", PoSetUARTFIFO, literal::PoSetUARTFIFO, nullptr, "DisableFiFo", {0, 1, 2}},
};
#undef QUERY

bool IsChange(const Call& call) { return call.arguments.size() > 1; }

constexpr DWORD kSentinel = 0xC0FFEE;

struct Outcome {
    int result = 0;
    DWORD code = 0;  // 2, 87 or 1016, the codes the library sets; else 0
    generated::State state;
};

// Takes every present device that carries COM `com` by name out of the
// machine, but for the one at `keep` in the ports list.
void RemoveOtherClaimants(int com, DWORD keep) {
    std::vector<std::string> others;
    {
        const platform::DeviceList ports = platform::GetDeviceList(
            &platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
        SP_DEVINFO_DATA device = platform::NewDeviceRecord();
        for (DWORD i = 0; platform::EnumDevice(ports.get(), i, device); ++i) {
            const auto name = platform::ReadFriendlyName(ports.get(), device);
            int channel = 0;
            if (i == keep || !name || portopt::ParseFriendlyName(*name, channel) != com) continue;
            others.push_back(*platform::ReadDeviceInstanceId(ports.get(), device, 261));
        }
    }
    for (const std::string& id : others) simwin::SetPresent(id, false);
}

// Makes the call on the machine as it stands; what a change left on the
// machine is observed too (a query's answer and code are all it gives).
Outcome RunOn(const generated::Machine& machine, int com, Export call, int argument, bool change) {
    SetLastError(kSentinel);
    Outcome outcome;
    outcome.result = call(com, argument);
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_INVALID_PARAMETER ||
        code == ERROR_REGISTRY_IO_FAILED) {
        outcome.code = code;
    }
    const simwin::Outstanding open = simwin::GetOutstanding();
    EXPECT_TRUE(open.Empty()) << simwin::Describe(open);
    if (change) outcome.state = generated::Observe(machine);
    return outcome;
}

// Whether the old steps that a call uses settle on one port (or find none).
bool StepsAgree(const literal::Trace& t, bool change) {
    std::vector<std::optional<DWORD>> steps = {t.lookup, t.reader};
    if (change) {
        steps.push_back(t.channel);
        steps.push_back(t.writer);
    }
    std::optional<DWORD> settled;
    for (const auto& step : steps) {
        if (!step) continue;
        if (settled && *settled != *step) return false;
        settled = step;
    }
    return true;
}

void ExpectSame(const Outcome& got, const Outcome& want, const std::string& what) {
    EXPECT_EQ(got.result, want.result) << what;
    EXPECT_EQ(got.code, want.code) << what;
    const std::string differences = generated::Differences(got.state, want.state);
    EXPECT_TRUE(differences.empty()) << what << "\n" << differences;
}

TEST(OneWalkCalls, AnswerAsTheStepByStepCallsOnGeneratedMachines) {
    constexpr unsigned kMachines = 150;
    int compared = 0, mended = 0, succeeded = 0;
    for (unsigned seed = 1; seed <= kMachines; ++seed) {
        for (int com = 1; com <= generated::kHighestCom + 1; ++com) {
            for (const Call& call : kCalls) {
                const int argument = call.arguments[(seed + com) % call.arguments.size()];
                const std::string what = std::string(call.name) + "(COM" + std::to_string(com) +
                                         ", " + std::to_string(argument) + ") on machine " +
                                         std::to_string(seed);
                // Queries change nothing, so both run on one machine.
                generated::Machine machine = generated::Build(seed);
                const literal::Trace steps =
                    literal::ProbeSteps(com, call.tovelserSetting, call.otherSetting);
                const Outcome old = RunOn(machine, com, call.literal, argument, IsChange(call));
                if (IsChange(call)) machine = generated::Build(seed);
                const Outcome current = RunOn(machine, com, call.current, argument, IsChange(call));
                if (StepsAgree(steps, IsChange(call))) {
                    ExpectSame(current, old, what);
                } else {
                    // The port the new call resolves, as the old steps see it;
                    // where none resolves, both go by the name alone.
                    const std::optional<DWORD> resolved =
                        IsChange(call) && steps.channel ? steps.channel : steps.lookup;
                    Outcome mendedOld = old;
                    if (resolved) {
                        machine = generated::Build(seed);
                        RemoveOtherClaimants(com, *resolved);
                        mendedOld = RunOn(machine, com, call.literal, argument, IsChange(call));
                    }
                    ExpectSame(current, mendedOld,
                               what + ", its claimants but the resolved one taken away");
                    if (current.result != old.result || current.code != old.code ||
                        !generated::Differences(current.state, old.state).empty()) {
                        ++mended;
                    }
                }
                ++compared;
                if (IsChange(call) && current.result == 1) ++succeeded;
                if (HasFailure()) return;
            }
        }
    }
    // The machines must reach the cases that matter: successful changes,
    // and calls whose old steps parted and whose answer was mended.
    EXPECT_GT(succeeded, int(kMachines));
    EXPECT_GT(mended, int(kMachines) / 10);
    std::cout << "[ compared ] " << compared << " calls, " << succeeded << " changes made, "
              << mended << " mended where the old steps parted\n";
}

}  // namespace
