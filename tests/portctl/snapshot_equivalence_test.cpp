// The one-pass port snapshot against the exported query calls, on machines
// generated from a seed: both store layouts, both families, duplicate COM
// numbers, hidden, orphaned and unreadable ports, short tables and odd
// values.  For every COM number the snapshot must answer exactly what the
// four queries and the product lookup answer on the same machine.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "one_step.h"
#include "port_identity.h"
#include "port_snapshot.h"
#include "portopt.h"
#include "settings_store.h"
#include "simwin/machine.h"

namespace portopt {
namespace {

using one_step::LookupProductId;
using one_step::ReadPortSetting;

constexpr const char* kSwitchKeys[] = {"SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc",
                                       "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc"};
constexpr const char* kSettings[] = {"SerInterface", "InterfaceMode", "FastFlush", "TxMode",
                                     "DisableFiFo"};
// COM numbers drawn from a small range, so that duplicates are common.
constexpr int kHighestCom = 12;

// Adapter instance IDs of both families, both buses, capability codes 0x10
// and 0x30, and IDs that yield product 0.
const char* const kAdapterIds[] = {
    "USB\\VID_1A2B&PID_2052\\A", "USB\\VID_1A2B&PID_1131\\B", "USB\\VID_1A2B&PID_1110\\C",
    "PCI\\VEN_10B5&DEV_9050\\D", "PCI\\VEN_10B5&DEV_1100\\E", "ROOT\\SERIAL\\F",
    "USB\\VID_1A2B&REV_0100\\G"};

class MachineGenerator {
public:
    explicit MachineGenerator(unsigned seed) : random_(seed) {}

    void Build() {
        simwin::Reset();
        std::vector<std::string> adapters;
        for (const char* id : kAdapterIds) {
            if (Chance(2, 3)) continue;
            simwin::AddDevice(id);
            simwin::AddInterface(id, simwin::kPortsClass, std::string("\\\\?\\") + id);
            adapters.push_back(id);
        }
        const int ports = Pick(0, 14);
        for (int i = 0; i < ports; ++i) AddPort(i, adapters);
        for (const char* key : kSwitchKeys) AddSwitch(key);
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int in, int of) { return Pick(1, of) <= in; }

    std::string FriendlyName(int com) {
        const std::string number = "(COM" + std::to_string(com) + ")";
        switch (Pick(0, 3)) {
            case 0: return "Serial " + number;
            case 1: return "Adapter Port " + std::to_string(Pick(0, 5)) + " " + number;
            case 2: return "COMBO Port " + std::to_string(Pick(1, 4)) + " " + number;
            default: return "Port 12345 " + number;  // a name that matches nothing
        }
    }

    void AddPort(int index, const std::vector<std::string>& adapters) {
        const std::string id = "PORTBUS\\PORT\\" + std::to_string(index);
        const bool orphan = adapters.empty() || Chance(1, 6);
        simwin::AddDevice(id, orphan ? "" : adapters[Pick(0, int(adapters.size()) - 1)]);
        if (!Chance(1, 12)) simwin::SetFriendlyName(id, FriendlyName(Pick(1, kHighestCom)));
        if (Chance(1, 10)) simwin::SetStatus(id, 13);
        if (Chance(1, 12)) simwin::SetPresent(id, false);
        simwin::AddInterface(id, simwin::kPortsClass, "\\\\?\\" + id);
        if (Chance(1, 8)) return;  // no hardware key
        const std::string key = simwin::HardwareKeyPath(id);
        simwin::CreateKey(key);
        for (const char* name : kSettings) {
            switch (Pick(0, 5)) {
                case 0: break;  // not stored
                case 1: simwin::SetDword(key, name, 0xFFFFFFFF); break;
                case 2: simwin::SetValue(key, name, REG_BINARY, {std::uint8_t(Pick(0, 3))}); break;
                default: simwin::SetDword(key, name, std::uint32_t(Pick(0, 3))); break;
            }
        }
    }

    void AddSwitch(const char* key) {
        if (Chance(1, 4)) return;
        simwin::CreateKey(key);
        if (!Chance(1, 4)) simwin::SetDword(key, "FixComFunc", std::uint32_t(Pick(0, 1)));
        for (const char* name : kSettings) {
            if (Chance(1, 5)) continue;
            // Mostly whole tables; some short ones, some too long to read.
            const int sizes[] = {256, 256, 256, 8, 300};
            simwin::Bytes table(std::size_t(sizes[Pick(0, 4)]), 0xFF);
            for (auto& byte : table) {
                if (!Chance(1, 3)) byte = std::uint8_t(Pick(0, 3));
            }
            simwin::SetValue(key, name, REG_BINARY, table);
        }
    }

    std::mt19937 random_;
};

TEST(PortSnapshot, AnswersWhatTheQueryCallsAnswerOnGeneratedMachines) {
    constexpr unsigned kMachines = 300;
    int resolved = 0;
    for (unsigned seed = 1; seed <= kMachines; ++seed) {
        MachineGenerator(seed).Build();
        const PortSnapshot snapshot = PortSnapshot::Read();
        const simwin::Outstanding open = simwin::GetOutstanding();
        ASSERT_TRUE(open.Empty()) << "seed " << seed << ": " << simwin::Describe(open);

        for (int com = 1; com <= kHighestCom + 1; ++com) {
            const PortAnswers& a = snapshot.Answers(com);
            SCOPED_TRACE("seed " + std::to_string(seed) + ", COM" + std::to_string(com));
            ASSERT_EQ(a.productId, LookupProductId(com));
            ASSERT_EQ(a.tovelser, IsTovelserFamily(a.productId));
            ASSERT_EQ(a.interfaceMode, PoGetInterface(com));
            ASSERT_EQ(a.fastFlush, PoGetFastFlush(com));
            ASSERT_EQ(a.txMode, PoGetTxMode(com));
            ASSERT_EQ(a.uartFifo, PoGetUARTFIFO(com));
            if (!a.tovelser) {
                ASSERT_EQ(a.fifoStored, ReadPortSetting(com, kDisableFiFo) != -1);
            }
            if (a.productId > 0) {
                ++resolved;
                ASSERT_EQ(ProductIdOf(a.adapterId), a.productId);
            }
        }
    }
    // The generator must reach resolved ports, not only unresolved ones.
    EXPECT_GT(resolved, int(kMachines));
}

TEST(PortSnapshot, ReadsTheDeviceTreeOnceWhateverThePortCount) {
    for (int ports : {1, 64}) {
        simwin::Reset();
        simwin::AddDevice(kAdapterIds[0]);
        for (int com = 1; com <= ports; ++com) {
            const std::string id = "PORTBUS\\" + std::to_string(com);
            simwin::AddDevice(id, kAdapterIds[0]);
            simwin::SetFriendlyName(id, "Port " + std::to_string(com) + " (COM" + std::to_string(com) + ")");
            simwin::AddInterface(id, simwin::kPortsClass, "\\\\?\\" + id);
        }
        const int before = simwin::Calls("SetupDiGetClassDevsA");
        PortSnapshot::Read();
        EXPECT_EQ(simwin::Calls("SetupDiGetClassDevsA") - before, 2) << ports << " ports";
    }
}

}  // namespace
}  // namespace portopt
