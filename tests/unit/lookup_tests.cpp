// The product-ID lookup on simulated device trees: which port wins, which
// ports are invisible, and what an unreadable adapter or list gives.
#include <string>
#include <utility>

#include "one_step.h"
#include "portopt.h"
#include "port_identity.h"
#include "sim_machine_test.h"

namespace portopt {
namespace {

using one_step::LookupProductId;

class Lookup : public SimMachineTest {};

TEST_F(Lookup, ResolvesThePortToItsAdaptersProduct) {
    AddAdapter(kTovelserAdapter);
    AddPort("USB\\PORT\\1", kTovelserAdapter, "Adapter Port 1 (COM3)");
    AddAdapter("PCI\\VEN_10B5&DEV_9050\\3&1");
    AddPort("PCI\\PORT\\1", "PCI\\VEN_10B5&DEV_9050\\3&1", "Port 2 (COM12)");

    EXPECT_EQ(LookupProductId(3), 0x1131);
    EXPECT_EQ(LookupProductId(12), 0x9050);
    EXPECT_EQ(LookupProductId(4), kNoMatchingPort);
}

TEST_F(Lookup, FirstVisibleMatchWins) {
    AddAdapter(kTovelserAdapter);
    AddAdapter(kKarbendAdapter);
    AddPort("USB\\PORT\\A", kTovelserAdapter, "COM5");
    AddPort("USB\\PORT\\B", kKarbendAdapter, "COM5");
    EXPECT_EQ(LookupProductId(5), 0x1131);

    // Status 13 hides a port; any other status, even one with those bits
    // set, does not.
    simwin::SetStatus("USB\\PORT\\A", 13);
    EXPECT_EQ(LookupProductId(5), 0x2052);
    simwin::SetStatus("USB\\PORT\\B", 13);
    EXPECT_EQ(LookupProductId(5), kNoMatchingPort);
    simwin::SetStatus("USB\\PORT\\A", 13 | DN_HAS_PROBLEM);
    EXPECT_EQ(LookupProductId(5), 0x1131);
}

TEST_F(Lookup, PortsWithoutReadableParentArePassedOver) {
    AddAdapter(kKarbendAdapter);
    AddPort("ROOT\\ORPHAN\\0", "", "COM6");
    EXPECT_EQ(LookupProductId(6), kNoMatchingPort);

    AddPort("USB\\PORT\\6", kKarbendAdapter, "COM6");
    EXPECT_EQ(LookupProductId(6), 0x2052);

    // The second port's status, parent or parent ID cannot be read (the
    // orphan made the first status and parent calls).
    const std::pair<const char*, int> failures[] = {{"CM_Get_DevNode_Status", 2},
                                                    {"CM_Get_Parent", 2},
                                                    {"CM_Get_Device_IDA", 1},
                                                    {"SetupDiOpenDeviceInfoA", 1},
                                                    {"SetupDiGetDeviceInstanceIdA", 1}};
    for (const auto& [op, k] : failures) {
        simwin::FailAt(op, k);
        EXPECT_EQ(LookupProductId(6), kNoMatchingPort) << op;
        simwin::ClearFaults();
    }
}

TEST_F(Lookup, AdapterIdTooLongToReadBackIsPassedOver) {
    // 200 characters: fits the parent read (261) but not the read-back (200).
    const std::string longId = "USB\\VID_1A2B&PID_2052\\" + std::string(178, 'X');
    ASSERT_EQ(longId.size(), 200u);
    AddAdapter(longId);
    AddPort("USB\\PORT\\7", longId, "COM7");
    EXPECT_EQ(LookupProductId(7), kNoMatchingPort);

    const std::string fits = longId.substr(0, 199);
    AddAdapter(fits);
    AddPort("USB\\PORT\\8", fits, "COM7");
    EXPECT_EQ(LookupProductId(7), 0x2052);
}

TEST_F(Lookup, AdapterWithoutProductGivesZero) {
    AddAdapter("ROOT\\MULTIPORT\\0000");
    AddPort("ROOT\\PORT\\1", "ROOT\\MULTIPORT\\0000", "COM9");
    AddAdapter("USB\\VID_1A2B&REV_0100\\1");
    AddPort("USB\\PORT\\10", "USB\\VID_1A2B&REV_0100\\1", "COM10");

    EXPECT_EQ(LookupProductId(9), kNoDeviceLists);
    EXPECT_EQ(LookupProductId(10), 0);
}

TEST_F(Lookup, NamesAreReadOnlyAsFarAsThePlatformReturned) {
    AddAdapter(kKarbendAdapter);
    simwin::AddDevice("USB\\PORT\\RAW", kKarbendAdapter);
    simwin::AddInterface("USB\\PORT\\RAW", simwin::kPortsClass, "\\\\?\\raw");
    simwin::SetFriendlyName("USB\\PORT\\RAW", simwin::Ascii("COM11", false));
    EXPECT_EQ(LookupProductId(11), 0x2052);

    // A name too long for its 261-byte buffer cannot be read at all.
    simwin::SetFriendlyName("USB\\PORT\\RAW", std::string(300, 'x') + " (COM11)");
    EXPECT_EQ(LookupProductId(11), kNoMatchingPort);
}

// A list that cannot be built means the device lists are unavailable:
// product 0, and no other port is tried by building a list again.  A call
// that never needs the list after the ports list (no port passes the port
// match) answers as if it had been built: no port resolves.  The all-ports
// call builds no list after the ports list: it looks its adapters up in the
// ports list.
TEST_F(Lookup, ListsThatCannotBeBuiltGiveZeroToBothInformationCalls) {
    struct Case {
        const char* what;
        int failingList;  // the k-th list built from now on fails
        bool hidePorts;   // both COM3 ports have status 13
        int product;      // what the one-port call gives COM3
        int allProduct;   // what the all-ports call gives it
    };
    const Case cases[] = {
        {"the ports list", 1, false, kNoDeviceLists, kNoDeviceLists},
        {"the list after the ports list: the first port's adapter", 2, false, kNoDeviceLists,
         0x1131},
        {"no port passes the match, so no list follows the ports list", 2, true, kNoMatchingPort,
         kNoMatchingPort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        simwin::Reset();
        // Two ports carry COM3, on adapters of different products.
        AddAdapter(kTovelserAdapter);
        AddAdapter(kKarbendAdapter);
        AddPort("USB\\PORT\\1", kTovelserAdapter, "COM3");
        AddPort("USB\\PORT\\2", kKarbendAdapter, "COM3");
        if (c.hidePorts) {
            simwin::SetStatus("USB\\PORT\\1", 13);
            simwin::SetStatus("USB\\PORT\\2", 13);
        }
        PoPortInfo one{};
        one.size = sizeof one;
        simwin::FailAt("SetupDiGetClassDevsA", c.failingList);
        ASSERT_EQ(PoGetPortInfo(3, &one), 1);
        EXPECT_EQ(one.productId, c.product) << "one-port call";
        simwin::ClearFaults();

        PoPortInfo all{};
        all.size = sizeof all;
        int count = 0;
        simwin::FailAt("SetupDiGetClassDevsA", c.failingList);
        const int listed = PoGetAllPortInfo(&all, 1, &count);
        simwin::ClearFaults();
        if (c.failingList == 1) {
            EXPECT_EQ(listed, 0) << "no ports list, no records";
            continue;
        }
        ASSERT_EQ(listed, 1);
        ASSERT_EQ(count, 1);
        EXPECT_EQ(all.productId, c.allProduct) << "all-ports call";
        EXPECT_EQ(LookupProductId(3), c.hidePorts ? kNoMatchingPort : 0x1131) << "no fault";
    }
}

TEST_F(Lookup, ScanEndsAtTheFirstEnumerationFailure) {
    AddAdapter(kKarbendAdapter);
    AddPort("USB\\PORT\\1", kKarbendAdapter, "COM1");
    AddPort("USB\\PORT\\2", kKarbendAdapter, "COM2");
    simwin::FailAt("SetupDiEnumDeviceInfo", 2);
    EXPECT_EQ(LookupProductId(2), kNoMatchingPort);
}

TEST_F(Lookup, ResolutionKeepsTheResolvedPortsChannelAndAdapter) {
    AddAdapter(kKarbendAdapter);
    AddPort("USB\\PORT\\1", kKarbendAdapter, "Port 1 (COM21)");
    AddPort("USB\\PORT\\2", kKarbendAdapter, "Port 4 (COM20)");
    const PortResolution com20 = PortResolution::Resolve(20, Purpose::kQuery);
    EXPECT_EQ(com20.Port().channel, 3);
    EXPECT_EQ(com20.Port().adapterId, kKarbendAdapter);
    // A port that does not resolve keeps no channel of a port it passed.
    const PortResolution com22 = PortResolution::Resolve(22, Purpose::kQuery);
    EXPECT_EQ(com22.Port().channel, kNoChannel);
    EXPECT_EQ(com22.Port().adapterId, "");
}

}  // namespace
}  // namespace portopt
