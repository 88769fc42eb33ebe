// Threads running queries, changes and listings at once on different ports
// of one machine, in both store layouts: every result is the one a lone
// caller would get, and no update is lost (in shared-table mode all ports
// share one 256-byte table, which the table lock keeps whole).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "change_rig.h"
#include "comlist.h"
#include "portopt.h"

namespace change_test {
namespace {

constexpr int kChangers = 8;  // one per port
constexpr int kReaders = 2;   // listing and querying every port
constexpr int kRounds = 25;

std::string AdapterOf(int com) { return "USB\\VID_1A2B&PID_2201\\8&" + std::to_string(com); }

class Concurrency : public MachineTest, public ::testing::WithParamInterface<Layout> {
protected:
    // One single-port adapter per COM number, so that every change opens
    // its own device (a device is opened without sharing), each port with
    // its "PortName", transmit mode 0 and interface mode 3 stored.
    std::vector<std::string> ports_;
    void BuildMachine() {
        for (int com = 1; com <= kChangers; ++com) {
            const std::string name = "COM" + std::to_string(com);
            AddAdapter(AdapterOf(com), GetParam());
            const std::string port = AddPort(AdapterOf(com), "USB Serial (" + name + ")");
            simwin::AddInterface(port, simwin::kComPortInterface, "\\\\?\\com#" + name);
            simwin::SetValue(simwin::HardwareKeyPath(port), "PortName", REG_SZ,
                             simwin::Utf16z(name));
            StoreSetting(GetParam(), AdapterOf(com), com, port, "TxMode", 0);
            StoreSetting(GetParam(), AdapterOf(com), com, port, "InterfaceMode", 3);
            ports_.push_back(port);
        }
    }
    static int ListedCount() {
        std::vector<std::vector<comlist_char>> buffers(
            kChangers, std::vector<comlist_char>(COMLIST_NAME_UNITS));
        std::vector<comlist_char*> names;
        for (auto& b : buffers) names.push_back(b.data());
        names.push_back(nullptr);
        int count = -1;
        EnumCOMPorts(names.data(), &count);
        for (int i = 0; i < count; ++i) {
            if (std::u16string(buffers[i].data()) != u"COM" + std::u16string(1, u'0' + i + 1))
                return -1;
        }
        return count;
    }
};

TEST_P(Concurrency, EveryResultCorrectAndNoUpdateLost) {
    BuildMachine();
    // Between reading a table and writing it back, let the others run.
    simwin::PauseBefore("RegSetValueExA", 300);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int com = 1; com <= kChangers; ++com) {
        threads.emplace_back([com, &wrong] {
            for (int round = 0; round < kRounds; ++round) {
                const int mode = (round + com) % 2;
                if (PoSetTxMode(com, mode) != 1) ++wrong;
                if (PoGetTxMode(com) != mode) ++wrong;
            }
        });
    }
    for (int reader = 0; reader < kReaders; ++reader) {
        threads.emplace_back([&wrong] {
            for (int round = 0; round < kRounds; ++round) {
                if (ListedCount() != kChangers) ++wrong;
                for (int com = 1; com <= kChangers; ++com) {
                    if (PoGetInterface(com) != 3) ++wrong;
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, 0);

    for (int com = 1; com <= kChangers; ++com) {
        const int last = (kRounds - 1 + com) % 2;
        EXPECT_EQ(StoredSetting(GetParam(), AdapterOf(com), com, ports_[com - 1], "TxMode"),
                  std::optional<std::uint32_t>(last))
            << "COM" << com;
        const auto accepted = simwin::AcceptedRequests(AdapterPath(AdapterOf(com)));
        ASSERT_EQ(accepted.size(), std::size_t(kRounds));
        EXPECT_EQ(ChannelFirst(accepted.back()).value, last) << "COM" << com;
    }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, Concurrency,
                         ::testing::Values(Layout::kSharedTable, Layout::kPerPort),
                         [](const auto& info) { return std::string(LayoutName(info.param)); });

}  // namespace
}  // namespace change_test
