// Every exported call resolves its port again from the device tree, and
// does so once: one walk of the ports list that stops at the port it asks
// for, and for a port that passes the port match one list of its adapter
// alone; no call builds a list of every device class, and only a change
// looks for its adapter's device path.  The all-ports information call
// walks the whole list once, for every port, and finds the adapters in it.  These tests hold each call
// to that many lists, listed devices, scans, keys and device-interface
// calls, check that the walk stops at the port it is looking for, and that
// the cost grows linearly with the number of ports present.
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
    int keys;        // switch key, then the hardware key or the tables' key
    int interfaces;  // the adapter's interface, and its detail asked twice
};

// A change reads the old value and writes the new one, and finds its
// adapter's device path; the one-port information call reads the switch
// once and then its four options, from the port's hardware key (opened
// once) or from the four tables.
constexpr Budget kBudgets[] = {
    {CallKind::kQuery, StoreLayout::kPerPort, 2, 0},
    {CallKind::kQuery, StoreLayout::kSharedTables, 2, 0},
    {CallKind::kChange, StoreLayout::kPerPort, 3, 3},
    {CallKind::kChange, StoreLayout::kSharedTables, 3, 3},
    {CallKind::kPortInfo, StoreLayout::kPerPort, 2, 0},
    {CallKind::kPortInfo, StoreLayout::kSharedTables, 5, 0},
};

// The ports list holds every port and its adapter, which exposes the
// ports interface class too.
long PortsListSize(int ports) {
    return ports + (ports + fixture::kPortsPerAdapter - 1) / fixture::kPortsPerAdapter;
}

ScanCounts Expected(CallKind kind, StoreLayout layout, int ports, int com) {
    // Each port's COM-port interface, and the end of its interfaces.
    if (kind == CallKind::kListing) return {1, ports, 0, ports + 1, ports, 2 * ports};
    const bool shared = layout == StoreLayout::kSharedTables;
    if (kind == CallKind::kAllPortInfo) {
        // The whole ports list and one failing read past it, whose
        // adapters are looked up in it; the switch, then every port's
        // hardware key or the four tables once each.
        return {1, PortsListSize(ports), 0, fixture::DevicesReadToReach(ports) + 1,
                1 + (shared ? 4 : ports), 0};
    }
    for (const Budget& b : kBudgets) {
        if (b.kind == kind && b.layout == layout) {
            // The ports list up to the port, and its adapter.
            return {2,      PortsListSize(ports) + 1,
                    0,      fixture::DevicesReadToReach(com),
                    b.keys, b.interfaces};
        }
    }
    ADD_FAILURE() << "no budget for this call";
    return {};
}

std::string Show(const ScanCounts& c) {
    return std::to_string(c.lists) + " lists of " + std::to_string(c.listed) + " devices (" +
           std::to_string(c.everyClassLists) + " of every class), " + std::to_string(c.enumerated) +
           " devices read, " + std::to_string(c.keys) + " keys opened, " +
           std::to_string(c.interfaces) + " device-interface calls";
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
            EXPECT_TRUE(cost == want)
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
    EXPECT_LE(lastOf256.listed, 16 * lastOf16.listed + kSlack);
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
