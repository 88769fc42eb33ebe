// The port-information calls against the query calls, on generated
// machines.  For every COM number, the one-port record and the all-ports
// record must hold exactly what the four query calls and the product
// lookup answer on the same machine, the adapter and position of the port
// the lookup settled on, and the all-ports call must give one record for
// each COM number a present port carries.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device_setup.h"
#include "generated_machine.h"
#include "guids.h"
#include "literal_steps.h"
#include "one_step.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"
#include "simwin/machine.h"

namespace portopt {
namespace {

// What the ports list says: the COM numbers its devices carry by name, and
// the channel each device's name gives.
struct PortsList {
    std::set<int> carried;
    std::vector<int> channels;
};

PortsList ReadPortsList() {
    PortsList list;
    const platform::DeviceList ports =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD i = 0; platform::EnumDevice(ports.get(), i, device); ++i) {
        const auto name = platform::ReadFriendlyName(ports.get(), device);
        int channel = -1;
        const int com = name ? ParseFriendlyName(*name, channel) : 0;
        if (IsValidComNumber(com)) list.carried.insert(com);
        list.channels.push_back(channel);
    }
    return list;
}

PoPortInfo EmptyRecord() {
    PoPortInfo info;
    std::memset(&info, 0xCC, sizeof info);
    info.size = sizeof info;
    return info;
}

void ExpectOption(const PoOption& option, int answer, bool available, bool stored,
                  const char* name) {
    EXPECT_EQ(option.value, answer) << name;
    EXPECT_EQ(option.available, available ? 1 : 0) << name;
    EXPECT_EQ(option.stored, stored ? 1 : 0) << name;
}

// The record against the queries, the lookup and the lookup's port.
void ExpectAnswersOfQueries(const PoPortInfo& info, int com, const PortsList& list) {
    const int product = one_step::LookupProductId(com);
    const bool tovelser = IsTovelserFamily(product);
    EXPECT_EQ(info.port, com);
    EXPECT_EQ(info.productId, product);
    EXPECT_EQ(info.family, product <= 0 ? PO_FAMILY_UNRESOLVED
                           : tovelser   ? PO_FAMILY_TOVELSER
                                        : PO_FAMILY_OTHER);
    const int interfaceMode = PoGetInterface(com);
    ExpectOption(info.interfaceMode, interfaceMode, true, interfaceMode != -1, "interface");
    const int fastFlush = PoGetFastFlush(com), txMode = PoGetTxMode(com);
    ExpectOption(info.fastFlush, fastFlush, !tovelser, !tovelser && fastFlush != -1, "fastflush");
    ExpectOption(info.txMode, txMode, !tovelser, !tovelser && txMode != -1, "txmode");
    const bool fifoStored = !tovelser && one_step::ReadPortSetting(com, Option::kUartFifo) != -1;
    ExpectOption(info.uartFifo, PoGetUARTFIFO(com), !tovelser, fifoStored, "fifo");

    const literal::Trace steps = literal::ProbeSteps(com, nullptr, nullptr);
    const int channel = steps.lookup ? list.channels.at(*steps.lookup) : -1;
    EXPECT_EQ(info.position, channel >= 0 ? channel + 1 : 0);
    const std::string adapterId(info.adapterId);
    if (steps.lookup) {
        EXPECT_EQ(ProductIdOf(adapterId), product);
        EXPECT_EQ(std::uint32_t(info.vendorId), ParseInstanceId(adapterId) >> 16);
        const int bus = adapterId.rfind("USB\\", 0) == 0   ? PO_BUS_USB
                        : adapterId.rfind("PCI\\", 0) == 0 ? PO_BUS_PCI
                                                           : PO_BUS_NONE;
        EXPECT_EQ(info.bus, bus);
    } else {
        EXPECT_EQ(adapterId, "");
        EXPECT_EQ(info.bus, PO_BUS_NONE);
        EXPECT_EQ(info.vendorId, 0);
    }
}

TEST(PortInfo, RecordsHoldWhatTheQueryCallsAnswerOnGeneratedMachines) {
    constexpr unsigned kMachines = 300;
    int resolved = 0, records = 0;
    for (unsigned seed = 1; seed <= kMachines; ++seed) {
        generated::Build(seed);
        std::vector<PoPortInfo> all(generated::kHighestCom + 2, EmptyRecord());
        int count = -1;
        ASSERT_EQ(PoGetAllPortInfo(all.data(), int(all.size()), &count), 1) << "machine " << seed;
        const simwin::Outstanding open = simwin::GetOutstanding();
        ASSERT_TRUE(open.Empty()) << "machine " << seed << ": " << simwin::Describe(open);
        const PortsList list = ReadPortsList();
        ASSERT_EQ(count, int(list.carried.size())) << "machine " << seed;

        auto next = all.begin();
        for (int com = 1; com <= generated::kHighestCom + 1; ++com) {
            SCOPED_TRACE("machine " + std::to_string(seed) + ", COM" + std::to_string(com));
            PoPortInfo one = EmptyRecord();
            ASSERT_EQ(PoGetPortInfo(com, &one), 1);
            ExpectAnswersOfQueries(one, com, list);
            if (list.carried.count(com)) {
                // The all-ports records come in order of COM number.
                ASSERT_EQ(next->port, com);
                EXPECT_EQ(std::memcmp(&*next, &one, sizeof one), 0) << "all-ports record";
                ++next;
                ++records;
            }
            if (one.productId > 0) ++resolved;
            if (HasFailure()) return;
        }
    }
    // The generator must reach resolved ports, not only unresolved ones.
    EXPECT_GT(resolved, int(kMachines));
    EXPECT_GT(records, int(kMachines));
}

}  // namespace
}  // namespace portopt
