// Every exported call resolves its port again from the device tree, and
// does so once: one walk of the ports list that stops at the port it asks
// for, and at most one all-devices list, built once a port has passed the
// port match.  What the call reads, sends and stores comes from that one
// walk.  The all-ports information call walks the whole list once, for
// every port.  These tests hold each call to that many lists and scans,
// check that the walk stops at the port it is looking for, and that the
// cost grows linearly with the number of ports present.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "exported_calls.h"
#include "machine_fixture.h"
#include "port_machine.h"
#include "scan_counts.h"

namespace {

using fixture::CallKind;
using fixture::ExportedCall;
using fixture::ScanCounts;
using fixture::StoreLayout;
using fixture::Target;

// What one call may cost on a machine with `ports` ports when asked for
// COM `com`.  A scan of the ports list reads every device up to the port
// and stops there; the listing reads every COM port and opens each one's
// hardware key.
struct Budget {
    CallKind kind;
    StoreLayout layout;
    int lists;
    int scans;
    int keys;  // switch key, then the hardware key or the table's key
};

// The port-information call reads the switch once and then its four
// options, each from the port's hardware key or a table.
constexpr Budget kBudgets[] = {
    {CallKind::kQuery, StoreLayout::kPerPort, 2, 1, 2},
    {CallKind::kQuery, StoreLayout::kSharedTables, 2, 1, 2},
    {CallKind::kChange, StoreLayout::kPerPort, 2, 1, 3},
    {CallKind::kChange, StoreLayout::kSharedTables, 2, 1, 3},
    {CallKind::kPortInfo, StoreLayout::kPerPort, 2, 1, 5},
    {CallKind::kPortInfo, StoreLayout::kSharedTables, 2, 1, 5},
};

ScanCounts Expected(CallKind kind, StoreLayout layout, int ports, int com) {
    if (kind == CallKind::kListing) return {1, ports + 1, ports};
    if (kind == CallKind::kAllPortInfo) {
        // The whole ports list and one failing read past it; every port's
        // hardware key, the switch, and in shared-table mode the four
        // option tables once each.
        const int tables = layout == StoreLayout::kSharedTables ? 4 : 0;
        return {2, fixture::DevicesReadToReach(ports) + 1, ports + 1 + tables};
    }
    for (const Budget& b : kBudgets) {
        if (b.kind == kind && b.layout == layout) {
            return {b.lists, long(b.scans) * fixture::DevicesReadToReach(com), b.keys};
        }
    }
    ADD_FAILURE() << "no budget for this call";
    return {};
}

std::string Show(const ScanCounts& c) {
    return std::to_string(c.lists) + " lists, " + std::to_string(c.enumerated) +
           " devices read, " + std::to_string(c.keys) + " keys opened";
}

class ScanBudget : public ::testing::TestWithParam<std::tuple<std::size_t, StoreLayout>> {
protected:
    const ExportedCall& Call() const { return fixture::ExportedCalls()[std::get<0>(GetParam())]; }
    StoreLayout Layout() const { return std::get<1>(GetParam()); }

    // Builds a machine of `ports` ports and returns what one call for COM
    // `com` cost on it.
    ScanCounts CostOn(int ports, int com) {
        auto machine = fixture::MakeMachineFixture();
        fixture::BuildPortMachine(*machine, ports, Layout());
        const ScanCounts before = fixture::CountsSoFar();
        EXPECT_TRUE(Call().invoke(*machine, com, ports)) << Call().name << " on COM" << com;
        const ScanCounts cost = fixture::CountsSoFar() - before;
        EXPECT_EQ(machine->Outstanding(), "");
        return cost;
    }
};

TEST_P(ScanBudget, ScansStopAtThePortMatchTheBudgetAndGrowLinearly) {
    ScanCounts lastOf16, lastOf256;
    for (int ports : {1, 16, 256}) {
        for (Target target : {Target::kFirst, Target::kMiddle, Target::kLast}) {
            const int com = fixture::TargetCom(ports, target);
            const ScanCounts cost = CostOn(ports, com);
            const ScanCounts want = Expected(Call().kind, Layout(), ports, com);
            EXPECT_TRUE(cost.lists == want.lists && cost.enumerated == want.enumerated &&
                        cost.keys == want.keys)
                << Call().name << " for COM" << com << " of " << ports << " ports costs "
                << Show(cost) << "; its budget is " << Show(want);
            if (target == Target::kLast && ports == 16) lastOf16 = cost;
            if (target == Target::kLast && ports == 256) lastOf256 = cost;
        }
    }
    // Sixteen times the ports may cost at most sixteen times as much, plus
    // a constant, whatever the budgets above become.
    constexpr long kSlack = 64;
    EXPECT_LE(lastOf256.lists, 16 * lastOf16.lists + kSlack);
    EXPECT_LE(lastOf256.enumerated, 16 * lastOf16.enumerated + kSlack);
    EXPECT_LE(lastOf256.keys, 16 * lastOf16.keys + kSlack)
        << Show(lastOf256) << " for 256 ports against " << Show(lastOf16) << " for 16";
}

std::string ParamName(const ::testing::TestParamInfo<ScanBudget::ParamType>& info) {
    return std::string(fixture::ExportedCalls()[std::get<0>(info.param)].name) + "_" +
           fixture::LayoutName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    AllCalls, ScanBudget,
    ::testing::Combine(::testing::Range<std::size_t>(0, fixture::ExportedCalls().size()),
                       ::testing::Values(StoreLayout::kPerPort, StoreLayout::kSharedTables)),
    ParamName);

}  // namespace
