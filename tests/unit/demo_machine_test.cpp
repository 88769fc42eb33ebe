// The embedded demo machine answers the queries as intended: stored and
// unstored options in both layouts, both families, single-port adapters,
// a port with no adapter and one the lister does not name.
#include "one_step.h"
#include "port_identity.h"
#include "portopt.h"
#include "sim_machine_test.h"
#include "simwin/machine_file.h"

namespace portopt {
namespace {

class DemoMachine : public SimMachineTest {
protected:
    void SetUp() override {
        SimMachineTest::SetUp();
        char error[256];
        ASSERT_EQ(simwin_load_demo_machine(error, sizeof error), 0) << error;
    }
};

TEST_F(DemoMachine, AnswersEveryKindOfQuery) {
    const struct {
        int port, product, interfaceMode, fastFlush, txMode, fifo;
    } ports[] = {
        {1, 0, -1, -1, -1, 0},  // no adapter: the KARBEND table says "not stored"
        {2, kNoMatchingPort, -1, -1, -1, 0},
        {3, 0x2044, 0, 1, 0, 1},  // four-port USB, shared tables
        {4, 0x2044, 1, 0, 1, 0},
        {5, 0x2044, 2, 1, -1, 1},
        {6, 0x2044, -1, -1, -1, 0},
        {7, 0x2021, 3, 0, 0, 1},  // single-port PCI
        {8, 0x1131, 2, 0, 0, 0},  // tovelser family, per-port values
        {9, 0x1131, -1, 0, 0, 0},
        {10, 0x2031, 1, 0, 1, 1},  // single-port USB, no COM-port interface
    };
    for (const auto& p : ports) {
        SCOPED_TRACE("COM" + std::to_string(p.port));
        EXPECT_EQ(one_step::LookupProductId(p.port), p.product);
        EXPECT_EQ(PoGetInterface(p.port), p.interfaceMode);
        EXPECT_EQ(PoGetFastFlush(p.port), p.fastFlush);
        EXPECT_EQ(PoGetTxMode(p.port), p.txMode);
        EXPECT_EQ(PoGetUARTFIFO(p.port), p.fifo);
    }
}

TEST_F(DemoMachine, AcceptsChangesInBothLayouts) {
    EXPECT_EQ(PoSetTxMode(4, 0), 1);
    EXPECT_EQ(PoGetTxMode(4), 0);
    EXPECT_EQ(PoSetInterface(8, 1), 1);
    EXPECT_EQ(PoGetInterface(8), 1);
    EXPECT_EQ(PoSetInterface(7, 1), 1);
    EXPECT_EQ(PoGetInterface(7), 1);
}

}  // namespace
}  // namespace portopt
