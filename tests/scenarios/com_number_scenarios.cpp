// PoSetComNumber end to end on either backend (under Wine with the
// stand-ins for the COM port database and the device restart): the option
// calls find the port under its new number, and the friendly name,
// "PortName", the database's bitmap and the shared tables are as Windows
// would leave them.
#include <gtest/gtest.h>

#include <string>

#include "scenario.h"

namespace {

using namespace scenario;
using fixture::Driver;

constexpr const char* kArbiterKey = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

// A 32-byte database holding `numbers` (bit n-1 for COMn).
fixture::Bytes Database(std::initializer_list<int> numbers) {
    fixture::Bytes bits(32, 0);
    for (int n : numbers) bits[(n - 1) / 8] |= std::uint8_t(1u << ((n - 1) % 8));
    return bits;
}

fixture::Bytes Utf16z(const std::string& ascii) {
    fixture::Bytes bytes;
    for (char c : ascii) bytes.insert(bytes.end(), {std::uint8_t(c), 0});
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class ComNumberScenario : public Scenario {};

TEST_F(ComNumberScenario, RenumberedPortIsFoundUnderItsNewNumberAsWindowsLeavesIt) {
    const fixture::PortoptApi& api = fx->Portopt();
    ASSERT_NE(api.PoSetComNumber, nullptr);
    fx->SetHardwareValue(kKarbendPort, "PortName", 1, Utf16z("COM7"));
    fx->SetValue(kArbiterKey, "ComDB", 3, Database({1, 7}));
    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "TxMode", fixture::Table({{7, 1}}));
    fx->SetTable(Driver::kKarbend, "InterfaceMode", fixture::Table({{7, 2}, {12, 0}}));
    const int mode = api.PoGetInterface(kKarbendCom);

    ASSERT_EQ(Invoke(api.PoSetComNumber, kKarbendCom, 12), 1);
    EXPECT_EQ(error, 0u);

    EXPECT_EQ(api.PoGetTxMode(12), 1);
    EXPECT_EQ(api.PoGetInterface(12), mode);
    EXPECT_EQ(api.PoGetTxMode(kKarbendCom), -1);
    EXPECT_EQ(fx->GetTable(Driver::kKarbend, "TxMode"), fixture::Table({{12, 1}}));
    EXPECT_EQ(fx->GetTable(Driver::kKarbend, "InterfaceMode"), fixture::Table({{12, 2}}));
    EXPECT_EQ(fx->FriendlyName(kKarbendPort), "Adapter Port 2 (COM12)");
    const auto portName = fx->GetHardwareValue(kKarbendPort, "PortName");
    ASSERT_TRUE(portName.has_value());
    EXPECT_EQ(portName->data, Utf16z("COM12"));
    EXPECT_EQ(fx->GetValue(kArbiterKey, "ComDB")->data, Database({1, 12}));
    EXPECT_EQ(fx->LastRestart(kKarbendPort), "COM12");

    // A number the database holds is refused, and nothing changes.
    ASSERT_EQ(Invoke(api.PoSetComNumber, 12, 1), 0);
    EXPECT_EQ(error, std::uint32_t(183));
    EXPECT_EQ(fx->FriendlyName(kKarbendPort), "Adapter Port 2 (COM12)");
    EXPECT_EQ(fx->GetValue(kArbiterKey, "ComDB")->data, Database({1, 12}));
}

}  // namespace
