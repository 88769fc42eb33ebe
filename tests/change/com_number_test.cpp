// PoSetComNumber on the simulated Windows: the refusals, which change
// nothing; a renumbering, which leaves the port, its names, the COM port
// database and (in shared-table mode) its values under the new number; and
// a sweep that fails each platform call of a renumbering in turn, after
// which the machine is either exactly as it was or renumbered whole.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "change_rig.h"
#include "portopt.h"

namespace change_test {
namespace {

const char* const kTables[] = {"InterfaceMode", "FastFlush", "TxMode", "DisableFiFo"};

// COM7 and COM5 on one adapter, COM5's values beside COM7's; the database
// holds 5, 7 and 9 (9 left behind by a removed device).
struct Rig {
    std::string com7;
    std::string com5;
};

Rig Build(Layout layout) {
    simwin::Reset();
    AddAdapter(kPlainAdapter, layout);
    Rig rig{AddPort(kPlainAdapter, "Serial Adapter Port 2 (COM7)"),
            AddPort(kPlainAdapter, "Serial Adapter Port 1 (COM5)")};
    simwin::SetValue(simwin::HardwareKeyPath(rig.com7), "PortName", REG_SZ, simwin::Utf16z("COM7"));
    simwin::SetValue(simwin::HardwareKeyPath(rig.com5), "PortName", REG_SZ, simwin::Utf16z("COM5"));
    std::uint8_t value = 0;
    for (const char* name : kTables) {
        StoreSetting(layout, kPlainAdapter, 7, rig.com7, name, value % 2);
        StoreSetting(layout, kPlainAdapter, 5, rig.com5, name, 1);
        ++value;
    }
    StoreSetting(layout, kPlainAdapter, 7, rig.com7, "InterfaceMode", 2);
    simwin::SetComDbNumbers({5, 7, 9});
    return rig;
}

// Everything a renumbering may change.
struct Snapshot {
    std::vector<int> database;
    std::optional<simwin::RegValue> portName;
    std::optional<simwin::Bytes> friendlyName;
    std::map<std::string, std::optional<simwin::RegValue>> stored;  // tables, or COM7's values
    std::size_t restarts = 0;

    bool operator==(const Snapshot& o) const {
        auto same = [](const std::optional<simwin::RegValue>& a,
                       const std::optional<simwin::RegValue>& b) {
            return a.has_value() == b.has_value() && (!a || (a->type == b->type && a->data == b->data));
        };
        if (database != o.database || !same(portName, o.portName) ||
            friendlyName != o.friendlyName || restarts != o.restarts) {
            return false;
        }
        for (const auto& [name, value] : stored) {
            if (!same(value, o.stored.at(name))) return false;
        }
        return true;
    }
};

Snapshot Take(const Rig& rig) {
    Snapshot s;
    s.database = simwin::ComDbNumbers();
    s.portName = simwin::GetValue(simwin::HardwareKeyPath(rig.com7), "PortName");
    s.friendlyName = simwin::FriendlyName(rig.com7);
    for (const char* name : kTables) {
        s.stored[std::string("table ") + name] = simwin::GetValue(SwitchKeyOf(kPlainAdapter), name);
        s.stored[std::string("port ") + name] = simwin::GetValue(simwin::HardwareKeyPath(rig.com7), name);
    }
    s.restarts = simwin::Restarts(rig.com7).size();
    return s;
}

class ComNumber : public MachineTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(ComNumber, RenumberedPortIsFoundUnderItsNewNumberWithItsValuesAndNames) {
    const Rig rig = Build(GetParam());
    const int before[] = {PoGetInterface(7), PoGetFastFlush(7), PoGetTxMode(7), PoGetUARTFIFO(7)};
    const int neighbour = PoGetInterface(5);
    SetLastError(0xDEAD);
    ASSERT_EQ(PoSetComNumber(7, 12), 1);
    EXPECT_EQ(GetLastError(), 0u);

    const int after[] = {PoGetInterface(12), PoGetFastFlush(12), PoGetTxMode(12),
                         PoGetUARTFIFO(12)};
    EXPECT_EQ(std::vector<int>(std::begin(after), std::end(after)),
              std::vector<int>(std::begin(before), std::end(before)));
    EXPECT_EQ(PoGetInterface(7), -1) << "a value left at the old number";
    EXPECT_EQ(PoGetInterface(5), neighbour) << "another port's value moved";
    EXPECT_EQ(simwin::ComDbNumbers(), (std::vector<int>{5, 9, 12}));
    EXPECT_EQ(simwin::GetValue(simwin::HardwareKeyPath(rig.com7), "PortName")->data,
              simwin::Utf16z("COM12"));
    EXPECT_EQ(simwin::FriendlyName(rig.com7), simwin::Ascii("Serial Adapter Port 2 (COM12)"));
    const auto restarts = simwin::Restarts(rig.com7);
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].portName, "COM12");
    EXPECT_EQ(restarts[0].friendlyName, "Serial Adapter Port 2 (COM12)");

    if (GetParam() == Layout::kSharedTable) {
        // In the tables: the values at index 11 and "no value" at index 6.
        for (const char* name : kTables) {
            const auto table = simwin::GetValue(SwitchKeyOf(kPlainAdapter), name)->data;
            EXPECT_EQ(table.at(6), 0xFF) << name;
            EXPECT_NE(table.at(11), 0xFF) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ComNumber,
                         ::testing::Values(Layout::kSharedTable, Layout::kPerPort),
                         [](const auto& info) { return LayoutName(info.param); });

struct Refusal {
    const char* label;
    int port;
    int newNumber;
    int flags;
    bool elevated;
    DWORD error;
};

const Refusal kRefusals[] = {
    {"NumberZero", 7, 0, 0, true, ERROR_INVALID_PARAMETER},
    {"Number257", 7, 257, 0, true, ERROR_INVALID_PARAMETER},
    {"PortOutOfRange", 0, 12, 0, true, ERROR_INVALID_PARAMETER},
    {"UnknownFlag", 7, 12, 2, true, ERROR_INVALID_PARAMETER},
    {"NoSuchPort", 8, 12, 0, true, ERROR_FILE_NOT_FOUND},
    {"HeldByPresentPort", 7, 5, 0, true, PO_ERROR_NUMBER_IN_USE},
    {"HeldByPresentPortForced", 7, 5, PO_NUMBER_FORCE, true, PO_ERROR_NUMBER_IN_USE},
    {"MarkedInDatabase", 7, 9, 0, true, PO_ERROR_NUMBER_IN_USE},
    {"NotAdministrator", 7, 12, 0, false, ERROR_ACCESS_DENIED},
};

TEST(ComNumberRefusals, EachRefusalSaysWhyAndChangesNothing) {
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.label);
        const Rig rig = Build(Layout::kSharedTable);
        simwin::SetElevated(r.elevated);
        const Snapshot before = Take(rig);
        EXPECT_EQ(PoSetComNumberEx(r.port, r.newNumber, r.flags), 0);
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_TRUE(Take(rig) == before);
        EXPECT_TRUE(simwin::GetOutstanding().Empty()) << simwin::Describe(simwin::GetOutstanding());
        if (!r.elevated) {
            EXPECT_EQ(simwin::Calls("ComDBOpen") + simwin::Calls("SetupDiGetClassDevsA"), 0)
                << "went on without the rights";
        }
    }
}

TEST(ComNumberForced, ANumberOnlyTheDatabaseMarksIsTakenWhenForced) {
    const Rig rig = Build(Layout::kPerPort);
    const int mode = PoGetInterface(7);
    ASSERT_EQ(PoSetComNumberEx(7, 9, PO_NUMBER_FORCE), 1);
    EXPECT_EQ(simwin::ComDbNumbers(), (std::vector<int>{5, 9}));
    EXPECT_EQ(simwin::FriendlyName(rig.com7), simwin::Ascii("Serial Adapter Port 2 (COM9)"));
    EXPECT_EQ(PoGetInterface(9), mode);
}

TEST(ComNumberReboot, ARestartThatWaitsForTheMachineKeepsTheRenumbering) {
    const Rig rig = Build(Layout::kSharedTable);
    simwin::SetRestartNeedsReboot(rig.com7, true);
    const int mode = PoGetInterface(7);
    ASSERT_EQ(PoSetComNumber(7, 12), 1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED));
    EXPECT_EQ(PoGetInterface(12), mode);
    EXPECT_TRUE(simwin::Restarts(rig.com7).empty());
}

class ComNumberSweep : public ::testing::TestWithParam<Layout> {};

TEST_P(ComNumberSweep, AnySingleFaultLeavesTheMachineAsItWasOrRenumberedWhole) {
    const Layout layout = GetParam();
    Rig rig = Build(layout);
    const Snapshot before = Take(rig);
    ASSERT_EQ(PoSetComNumber(7, 12), 1) << "clean run";
    const Snapshot renumbered = Take(rig);
    std::vector<std::pair<std::string, int>> plan;
    for (const std::string& op : simwin::CalledOperations())
        plan.emplace_back(op, simwin::Calls(op));

    int tried = 0, kept = 0;
    for (const auto& [op, calls] : plan) {
        for (int k = 1; k <= calls; ++k, ++tried) {
            SCOPED_TRACE(op + " #" + std::to_string(k));
            rig = Build(layout);
            simwin::FailAt(op, k);
            const int result = PoSetComNumber(7, 12);
            simwin::ClearFaults();
            EXPECT_TRUE(simwin::GetOutstanding().Empty())
                << simwin::Describe(simwin::GetOutstanding());
            const Snapshot after = Take(rig);
            if (result == 1) {
                ++kept;
                EXPECT_TRUE(after == renumbered) << "renumbered, but not whole";
            } else {
                EXPECT_EQ(result, 0);
                EXPECT_TRUE(after == before) << "failed, but not put back";
            }
        }
    }
    std::cout << "[ sweep    ] PoSetComNumber " << LayoutName(layout) << ": " << tried
              << " fault points, " << kept << " renumbered whole\n";
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ComNumberSweep,
                         ::testing::Values(Layout::kSharedTable, Layout::kPerPort),
                         [](const auto& info) { return LayoutName(info.param); });

}  // namespace
}  // namespace change_test
