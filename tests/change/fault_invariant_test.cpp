// Whatever single platform call fails during a change, the call leaves
// nothing open, the store holds the old value when the call failed and the
// new one when it succeeded, and the adapter's driver last accepted the
// value that is stored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_rig.h"
#include "portopt.h"

namespace change_test {
namespace {

struct ChangeCase {
    const char* label;
    int (*call)(int, int);
    std::string adapter;
    const char* name;
    int argument;
    std::uint8_t old;
    std::uint8_t stored;  // what a successful call stores (and sends)
    bool valueFirst;      // the request's record layout
};

const ChangeCase kCases[] = {
    {"InterfaceOther", PoSetInterface, kPlainAdapter, "InterfaceMode", 1, 3, 2, false},
    {"InterfaceTovelser", PoSetInterface, kTovelserAdapter, "SerInterface", 1, 3, 1, true},
    {"FastFlush", PoSetFastFlush, kPlainAdapter, "FastFlush", 1, 0, 1, false},
    {"TxMode", PoSetTxMode, kPlainAdapter, "TxMode", 0, 1, 0, false},
    {"UARTFIFO", PoSetUARTFIFO, kPlainAdapter, "DisableFiFo", 1, 1, 0, false},
};

constexpr int kCom = 7;

struct Machine {
    std::string port;
    std::string path;
};

Machine Build(const ChangeCase& c, Layout layout) {
    simwin::Reset();
    AddAdapter(c.adapter, layout);
    Machine m{AddPort(c.adapter, "Serial Adapter Port 2 (COM7)"), AdapterPath(c.adapter)};
    StoreSetting(layout, c.adapter, kCom, m.port, c.name, c.old);
    return m;
}

class FaultInvariant : public ::testing::TestWithParam<std::tuple<ChangeCase, Layout>> {};

TEST_P(FaultInvariant, StoreAndAdapterAgreeAfterAnySingleFault) {
    const auto& [c, layout] = GetParam();
    Build(c, layout);
    ASSERT_EQ(c.call(kCom, c.argument), 1) << "clean run";
    std::vector<std::pair<std::string, int>> plan;
    for (const std::string& op : simwin::CalledOperations()) plan.emplace_back(op, simwin::Calls(op));

    for (const auto& [op, calls] : plan) {
        for (int k = 1; k <= calls; ++k) {
            SCOPED_TRACE(op + " #" + std::to_string(k));
            const Machine m = Build(c, layout);
            simwin::FailAt(op, k);
            const int result = c.call(kCom, c.argument);
            simwin::ClearFaults();

            const simwin::Outstanding left = simwin::GetOutstanding();
            EXPECT_TRUE(left.Empty()) << simwin::Describe(left);

            const auto stored = StoredSetting(layout, c.adapter, kCom, m.port, c.name);
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(*stored, result == 1 ? c.stored : c.old) << "call returned " << result;

            const auto accepted = simwin::AcceptedRequests(m.path);
            const int adapterValue =
                accepted.empty() ? c.old
                                 : (c.valueFirst ? ValueFirst(accepted.back())
                                                 : ChannelFirst(accepted.back()))
                                       .value;
            // The one way they can part: the driver took the new value, the
            // store failed, and the driver then refused the old value back.
            const bool failedRollback = op == "DeviceIoControl" && k == 2;
            EXPECT_EQ(adapterValue, static_cast<int>(failedRollback ? c.stored : *stored));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllChangeCalls, FaultInvariant,
    ::testing::Combine(::testing::ValuesIn(kCases),
                       ::testing::Values(Layout::kSharedTable, Layout::kPerPort)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).label) + "_" +
               LayoutName(std::get<1>(info.param));
    });

}  // namespace
}  // namespace change_test
