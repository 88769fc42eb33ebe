// Which adapter a change's resolution opens for a COM number, and which
// channel index it reports.
#include <gtest/gtest.h>

#include "adapter_channel.h"
#include "change_rig.h"
#include "one_step.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "settings_store.h"

namespace change_test {
namespace {

// Resolves COM `port` as a change does and opens its adapter's channel;
// `channel` receives the resolved port's channel index.
platform::DeviceHandle OpenAdapterChannel(int port, int& channel) {
    const auto resolved = portopt::PortResolution::Resolve(port, portopt::Purpose::kChange);
    channel = resolved.Port().channel;
    return portopt::OpenAdapterChannel(resolved.Port());
}

constexpr char kSecondAdapter[] = "USB\\VID_1A2B&PID_2202\\7&9";

class AdapterChannel : public MachineTest {
protected:
    // Two adapters that both carry a COM 7, the second as its port 3.
    void TwoAdaptersClaimingCom7(bool firstHasInterface = true) {
        AddAdapter(kPlainAdapter, Layout::kPerPort, firstHasInterface);
        AddPort(kPlainAdapter, "Serial Adapter Port 1 (COM7)");
        AddAdapter(kSecondAdapter, Layout::kPerPort);
        AddPort(kSecondAdapter, "Serial Adapter Port 3 (COM7)");
    }
    // Whether `handle` reaches the adapter at `path`.
    static bool Reaches(const platform::DeviceHandle& handle, const std::string& path) {
        const std::size_t before = simwin::Requests(path).size();
        portopt::SendControlRequest(
            handle.get(), 0x04042018,
            portopt::ControlRecord(portopt::RecordLayout::kChannelFirst, 0, 0));
        return simwin::Requests(path).size() == before + 1;
    }
};

TEST_F(AdapterChannel, OpensTheAdapterOfTheFirstMatchingPort) {
    TwoAdaptersClaimingCom7();
    int channel = 99;
    const platform::DeviceHandle handle = OpenAdapterChannel(7, channel);
    ASSERT_TRUE(handle);
    EXPECT_EQ(channel, 0);
    EXPECT_TRUE(Reaches(handle, AdapterPath(kPlainAdapter)));
}

TEST_F(AdapterChannel, AdapterWithoutPortsInterfaceIsPassedOver) {
    TwoAdaptersClaimingCom7(/*firstHasInterface=*/false);
    int channel = 99;
    const platform::DeviceHandle handle = OpenAdapterChannel(7, channel);
    ASSERT_TRUE(handle);
    EXPECT_EQ(channel, 2);
    EXPECT_TRUE(Reaches(handle, AdapterPath(kSecondAdapter)));
}

TEST_F(AdapterChannel, UnopenableDeviceEndsTheScan) {
    TwoAdaptersClaimingCom7();
    simwin::SetUnopenable(AdapterPath(kPlainAdapter));
    int channel = 99;
    EXPECT_FALSE(OpenAdapterChannel(7, channel));
    EXPECT_EQ(simwin::Calls("CreateFileA"), 1);
    EXPECT_EQ(channel, 0);
}

// A size query that reports less than the detail record's fixed part leaves
// no room for the record's size field: that adapter is passed over.
TEST_F(AdapterChannel, FailedDetailSizeQuerySkipsTheAdapter) {
    TwoAdaptersClaimingCom7();
    simwin::FailAt("SetupDiGetDeviceInterfaceDetailA", 1);
    int channel = 99;
    const platform::DeviceHandle handle = OpenAdapterChannel(7, channel);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(Reaches(handle, AdapterPath(kSecondAdapter)));
    EXPECT_EQ(simwin::Calls("LocalAlloc"), 1);
}

TEST_F(AdapterChannel, NoChannelWithoutAResolvedPort) {
    int channel = 99;
    EXPECT_FALSE(OpenAdapterChannel(7, channel));
    EXPECT_EQ(channel, -1) << "no port";

    AddAdapter(kPlainAdapter, Layout::kPerPort);
    AddPort(kPlainAdapter, "Serial Adapter Port 4 (COM5)");
    EXPECT_FALSE(OpenAdapterChannel(7, channel));
    EXPECT_EQ(channel, -1) << "a port of another COM number lends it no channel";
    EXPECT_EQ(simwin::Calls("CreateFileA"), 0);
}

TEST_F(AdapterChannel, BusyDeviceIsNotOpenedTwice) {
    AddAdapter(kPlainAdapter, Layout::kPerPort);
    AddPort(kPlainAdapter, "Serial Adapter Port 1 (COM7)");
    int channel = 0;
    const platform::DeviceHandle first = OpenAdapterChannel(7, channel);
    ASSERT_TRUE(first);
    EXPECT_FALSE(OpenAdapterChannel(7, channel)) << "opened without sharing";
}

// The friendly-name buffer holds 260 characters and a terminator: a name of
// exactly 260 ending "(COM7)" resolves in the lookup, the store and the
// channel; one character more does not fit and resolves nowhere.
TEST_F(AdapterChannel, LongestFriendlyNameResolvesEverywhere) {
    struct Case {
        std::size_t length;
        bool resolves;
    };
    for (const Case c : {Case{260, true}, Case{261, false}}) {
        SCOPED_TRACE(c.length);
        simwin::Reset();
        const std::string head = "Serial Adapter Port 2 ";
        const std::string name = head + std::string(c.length - head.size() - 6, '.') + "(COM7)";
        ASSERT_EQ(name.size(), c.length);
        AddAdapter(kPlainAdapter, Layout::kPerPort);
        const std::string port = AddPort(kPlainAdapter, name);
        StoreSetting(Layout::kPerPort, kPlainAdapter, 7, port, "TxMode", 1);

        EXPECT_EQ(one_step::LookupProductId(7), c.resolves ? 0x2201 : portopt::kNoMatchingPort);
        EXPECT_EQ(one_step::ReadPortSetting(7, portopt::Option::kTxMode), c.resolves ? 1 : -1);
        int channel = 99;
        EXPECT_EQ(bool(OpenAdapterChannel(7, channel)), c.resolves);
        EXPECT_EQ(channel, c.resolves ? 1 : -1);
    }
}

}  // namespace
}  // namespace change_test
