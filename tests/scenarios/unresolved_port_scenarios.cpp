// Ports whose adapter cannot be resolved: their product ID stays unresolved,
// so they follow the KARBEND driver's switch and rules whatever their own
// instance ID says: here, ports made without an adapter.  Also the switch in
// the value forms a driver may leave behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "last_error.h"
#include "machine_fixture.h"

namespace {

using fixture::Bytes;
using fixture::Driver;

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegistryIoFailed = 1016;

// A tovelser-family instance ID, but no adapter to resolve it through.
constexpr const char* kLonePort = "USB\\VID_1A2B&PID_1131&MI_00\\8&1";
constexpr int kLoneCom = 6;

class UnresolvedPortScenario : public ::testing::Test {
protected:
    void SetUp() override {
        fx = fixture::MakeMachineFixture();
        fx->AddPort(kLonePort, "", "Adapter Port 1 (COM6)");
        fx->SetPortDword(kLonePort, "TxMode", 1);
        fx->SetTable(Driver::kKarbend, "TxMode", fixture::Table({{kLoneCom, 0}}));
    }

    int TxMode() { return fx->Portopt().PoGetTxMode(kLoneCom); }

    void SetSwitchValue(std::uint32_t type, const Bytes& data) {
        fx->SetValue(fixture::MachineFixture::SwitchKey(Driver::kKarbend), "FixComFunc", type,
                     data);
    }

    std::unique_ptr<fixture::MachineFixture> fx;
};

TEST_F(UnresolvedPortScenario, FollowsTheKarbendSwitchAndRules) {
    // The tovelser driver's switch and tables are never consulted.
    fx->SetSwitch(Driver::kTovelser, 1);
    fx->SetTable(Driver::kTovelser, "SerInterface", fixture::Table({{kLoneCom, 3}}));
    fx->SetTable(Driver::kTovelser, "TxMode", fixture::Table({{kLoneCom, 0}}));
    fx->SetPortDword(kLonePort, "InterfaceMode", 1);
    fx->SetPortDword(kLonePort, "SerInterface", 3);

    const fixture::PortoptApi& api = fx->Portopt();
    EXPECT_EQ(api.PoGetInterface(kLoneCom), 2);  // KARBEND name, translated
    EXPECT_EQ(api.PoGetTxMode(kLoneCom), 1);     // read, not the tovelser 0

    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "InterfaceMode", fixture::Table({{kLoneCom, 2}}));
    EXPECT_EQ(api.PoGetInterface(kLoneCom), 1);
    EXPECT_EQ(api.PoGetTxMode(kLoneCom), 0);
}

TEST_F(UnresolvedPortScenario, SwitchIsReadAsUpToFourRawBytes) {
    struct Form {
        const char* what;
        std::uint32_t type;
        Bytes data;
        bool shared;
    };
    const Form forms[] = {
        {"no switch value", 0, {}, false},
        {"dword 0", kRegDword, {0, 0, 0, 0}, false},
        {"dword 2", kRegDword, {2, 0, 0, 0}, true},
        {"one binary byte", kRegBinary, {1}, true},
        {"high byte only", kRegBinary, {0, 0, 0, 0x80}, true},
        {"two zero bytes", kRegBinary, {0, 0}, false},
        {"five bytes", kRegBinary, {1, 0, 0, 0, 0}, false},
    };
    for (const Form& form : forms) {
        if (form.data.empty()) {
            fx->DeleteValue(fixture::MachineFixture::SwitchKey(Driver::kKarbend), "FixComFunc");
        } else {
            SetSwitchValue(form.type, form.data);
        }
        EXPECT_EQ(TxMode(), form.shared ? 0 : 1) << form.what;
    }
}

// The change calls cannot reach the adapter, so every change fails and
// both layouts keep what they held.
TEST_F(UnresolvedPortScenario, FailedChangesLeaveBothLayoutsAlone) {
    const fixture::PortoptApi& api = fx->Portopt();
    fx->SetPortDword(kLonePort, "InterfaceMode", 2);
    EXPECT_EQ(api.PoSetTxMode(kLoneCom, 0), 0);
    EXPECT_EQ(api.PoSetInterface(kLoneCom, 1), 0);
    EXPECT_EQ(fx->GetPortDword(kLonePort, "TxMode"), 1u);
    EXPECT_EQ(fx->GetPortDword(kLonePort, "InterfaceMode"), 2u);

    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "DisableFiFo", fixture::Table({}));
    EXPECT_EQ(api.PoSetTxMode(kLoneCom, 1), 0);
    fixture::SetLastErrorCode(0);
    EXPECT_EQ(api.PoSetUARTFIFO(kLoneCom, 1), 0);  // 0xFF: nothing stored to change
    EXPECT_EQ(fixture::LastError(), kRegistryIoFailed);
    EXPECT_EQ(fx->GetTable(Driver::kKarbend, "TxMode"), fixture::Table({{kLoneCom, 0}}));
    EXPECT_EQ(fx->GetTable(Driver::kKarbend, "DisableFiFo"), fixture::Table({}));
}

}  // namespace
