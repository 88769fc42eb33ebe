// The one-pass port snapshot against the exported query calls, on
// generated machines.  For every COM number the snapshot must answer
// exactly what the four queries and the product lookup answer on the same
// machine.
#include <gtest/gtest.h>

#include <string>

#include "generated_machine.h"
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

constexpr const char* kAdapterId = "USB\\VID_1A2B&PID_2052\\A";

TEST(PortSnapshot, AnswersWhatTheQueryCallsAnswerOnGeneratedMachines) {
    constexpr unsigned kMachines = 300;
    int resolved = 0;
    for (unsigned seed = 1; seed <= kMachines; ++seed) {
        generated::Build(seed);
        const PortSnapshot snapshot = PortSnapshot::Read();
        const simwin::Outstanding open = simwin::GetOutstanding();
        ASSERT_TRUE(open.Empty()) << "seed " << seed << ": " << simwin::Describe(open);

        for (int com = 1; com <= generated::kHighestCom + 1; ++com) {
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
        simwin::AddDevice(kAdapterId);
        for (int com = 1; com <= ports; ++com) {
            const std::string id = "PORTBUS\\" + std::to_string(com);
            simwin::AddDevice(id, kAdapterId);
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
