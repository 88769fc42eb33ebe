// The four change calls end to end on either backend: argument checks,
// failures that must leave the store as it was, each change's request as
// the adapter's driver receives it and the value stored, the family and
// capability rules, refusals, and the rollback when storing fails.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port_machine.h"
#include "scenario.h"

namespace {

using namespace scenario;
using fixture::Driver;
using fixture::PortoptApi;

// The codes a change call sets itself; elsewhere the code is whatever the
// platform calls on the way left.
bool IsOwnCode(std::uint32_t error) {
    return error == kInvalidParameter || error == kRegistryIoFailed;
}

class ChangeScenario : public Scenario {
protected:
    int Change(PortoptApi::Set call, int port, int value) { return Invoke(call, port, value); }
};

TEST_F(ChangeScenario, BadArgumentsAreRefusedWithInvalidParameter) {
    const PortoptApi& api = fx->Portopt();
    fx->SetPortDword(kKarbendPort, "TxMode", 0);
    for (PortoptApi::Set call :
         {api.PoSetInterface, api.PoSetFastFlush, api.PoSetTxMode, api.PoSetUARTFIFO}) {
        for (int port : {0, 257, -1, INT_MIN, INT_MAX}) {
            EXPECT_EQ(Change(call, port, 0), 0) << port;
            EXPECT_EQ(error, kInvalidParameter) << port;
        }
    }
    for (int mode : {4, -1, INT_MAX}) {
        EXPECT_EQ(Change(api.PoSetInterface, kKarbendCom, mode), 0) << mode;
        EXPECT_EQ(error, kInvalidParameter) << mode;
    }
    for (PortoptApi::Set call : {api.PoSetFastFlush, api.PoSetTxMode}) {
        for (int value : {2, -1}) {
            EXPECT_EQ(Change(call, kKarbendCom, value), 0) << value;
            EXPECT_EQ(error, kInvalidParameter) << value;
        }
    }
    EXPECT_EQ(fx->GetPortDword(kKarbendPort, "TxMode"), 0u);
}

TEST_F(ChangeScenario, SettingNeverStoredCannotBeChanged) {
    const PortoptApi& api = fx->Portopt();
    EXPECT_EQ(Change(api.PoSetTxMode, kKarbendCom, 1), 0);
    EXPECT_EQ(error, kRegistryIoFailed);
    EXPECT_EQ(Change(api.PoSetUARTFIFO, kKarbendCom, 1), 0);
    EXPECT_EQ(error, kRegistryIoFailed);
    EXPECT_FALSE(fx->GetHardwareValue(kKarbendPort, "TxMode"));
    EXPECT_FALSE(fx->GetHardwareValue(kKarbendPort, "DisableFiFo"));
}

// No present port carries COM 9: in per-port mode the old-value read finds
// nothing; with a shared table it finds the table byte, and the change then
// stops at the adapter, which does not exist.
TEST_F(ChangeScenario, AbsentPortIsNotChanged) {
    const PortoptApi& api = fx->Portopt();
    EXPECT_EQ(Change(api.PoSetFastFlush, 9, 1), 0);
    EXPECT_EQ(error, kRegistryIoFailed);

    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "FastFlush", fixture::Table({{9, 0}}));
    EXPECT_EQ(Change(api.PoSetFastFlush, 9, 1), 0);
    EXPECT_EQ(fx->GetTable(Driver::kKarbend, "FastFlush"), fixture::Table({{9, 0}}));
}

TEST_F(ChangeScenario, PortWithoutReachableAdapterKeepsItsValue) {
    const PortoptApi& api = fx->Portopt();
    fx->AddPort("ROOT\\PORTS\\0042", "", "Standalone Port 1 (COM8)");
    fx->SetPortDword("ROOT\\PORTS\\0042", "TxMode", 1);
    fx->SetPortDword("ROOT\\PORTS\\0042", "InterfaceMode", 1);
    EXPECT_EQ(Change(api.PoSetTxMode, 8, 0), 0);
    EXPECT_EQ(Change(api.PoSetInterface, 8, 3), 0);
    EXPECT_EQ(fx->GetPortDword("ROOT\\PORTS\\0042", "TxMode"), 1u);
    EXPECT_EQ(fx->GetPortDword("ROOT\\PORTS\\0042", "InterfaceMode"), 1u);
}

// The machine of the change scenarios below, in either store layout: the
// KARBEND-family COM 7 (channel 1) and the tovelser-family COM 5 (channel
// 0, capability 0x30), a single-port adapter's COM 12 (no "Port n", so
// channel -1) and COM 11 on an adapter of capability 0x10.
struct AdapterPort {
    const char* adapter;
    const char* id;
    const char* friendlyName;
    int com;
    Driver driver;
};
const AdapterPort kKarbend{kKarbendAdapter, kKarbendPort, "Adapter Port 2 (COM7)", kKarbendCom,
                           Driver::kKarbend};
const AdapterPort kTovelser{kTovelserAdapter, kTovelserPort, "Adapter Port 1 (COM5)", kTovelserCom,
                            Driver::kTovelser};
const AdapterPort kSinglePort{"PCI\\VEN_1A2B&DEV_2021\\3&1", "ADPTBUS\\SERIAL\\12",
                              "Serial Port (COM12)", 12, Driver::kKarbend};
const AdapterPort kModeZeroOnly{"USB\\VID_1A2B&PID_2011\\6&3", "USB\\VID_1A2B&PID_2011&MI_00\\7&3",
                                "Adapter Port 1 (COM11)", 11, Driver::kKarbend};
const AdapterPort* const kAdapterPorts[] = {&kKarbend, &kTovelser, &kSinglePort, &kModeZeroOnly};

constexpr std::uint32_t kSetInterfaceTovelser = 0x00222080;
constexpr std::uint32_t kSetInterfaceMode = 0x04042014;
constexpr std::uint32_t kSetFastFlush = 0x04042018;
constexpr std::uint32_t kSetTxMode = 0x0404201C;
constexpr std::uint32_t kSetUartFifo = 0x04042020;
constexpr std::uint32_t kGenFailure = 31;
constexpr std::uint32_t kInvalidFunction = 1;
constexpr std::uint32_t kHiddenNode = 13;
constexpr std::uint32_t kStartedNode = 0xA;  // driver loaded, started

using Setter = PortoptApi::Set PortoptApi::*;
using fixture::Bytes;
using fixture::StoreLayout;

struct ChangeCase {
    const char* what;
    Setter call;
    const AdapterPort* port;
    int argument;
    const char* name;
    std::uint8_t old;
    std::uint32_t code;  // the request sent; 0 for none
    Bytes record;
    std::uint32_t stored;  // what the store holds afterwards
};

// The four adapters' machine, in per-port mode unless a subclass says
// otherwise.
class AdaptersScenario : public ChangeScenario {
protected:
    void SetUp() override {
        ChangeScenario::SetUp();
        for (const AdapterPort* port : kAdapterPorts) {
            if (port == &kKarbend) continue;  // the base machine's
            fx->AddAdapter(port->adapter);
            fx->AddPort(port->id, port->adapter, port->friendlyName);
        }
    }
    virtual bool Shared() const { return false; }

    void Store(const AdapterPort& port, const char* name, std::uint8_t value) {
        if (!Shared()) return fx->SetPortDword(port.id, name, value);
        fx->SetSwitch(port.driver, 1);
        fx->SetTable(port.driver, name, fixture::Table({{port.com, value}}));
    }
    std::optional<std::uint32_t> Stored(const AdapterPort& port, const char* name) {
        if (!Shared()) return fx->GetPortDword(port.id, name);
        const auto table = fx->GetTable(port.driver, name);
        if (!table || table->size() < std::size_t(port.com)) return std::nullopt;
        return table->at(port.com - 1);
    }

    int Change(Setter call, const AdapterPort& port, int value) {
        const auto before = RequestCounts();
        const int result = ChangeScenario::Change(fx->Portopt().*call, port.com, value);
        const auto after = RequestCounts();
        sent.clear();
        sentTo = nullptr;
        for (std::size_t i = 0; i < after.size(); ++i) {
            const auto requests = fx->Requests(kAdapterPorts[i]->adapter);
            if (after[i] != before[i]) sentTo = kAdapterPorts[i];
            sent.insert(sent.end(), requests.begin() + long(before[i]), requests.end());
        }
        return result;
    }

    // Whether the last Change() sent `c`'s request to `c`'s adapter first,
    // and stored what `c` says.
    void ExpectSentAndStored(const ChangeCase& c) {
        if (c.code == 0) {
            EXPECT_TRUE(sent.empty()) << c.what;
        } else {
            ASSERT_FALSE(sent.empty()) << c.what;
            EXPECT_EQ(sentTo, c.port) << c.what;
            EXPECT_EQ(sent[0].code, c.code) << c.what;
            EXPECT_EQ(sent[0].input, c.record) << c.what;
        }
        EXPECT_EQ(Stored(*c.port, c.name), c.stored) << c.what;
    }

    // The requests the last Change() sent, to whichever adapter.
    std::vector<fixture::ControlRequest> sent;
    const AdapterPort* sentTo = nullptr;

private:
    std::vector<std::size_t> RequestCounts() {
        std::vector<std::size_t> counts;
        for (const AdapterPort* port : kAdapterPorts) {
            counts.push_back(fx->Requests(port->adapter).size());
        }
        return counts;
    }
};

class LayoutScenario : public AdaptersScenario, public testing::WithParamInterface<StoreLayout> {
protected:
    bool Shared() const override { return GetParam() == StoreLayout::kSharedTables; }
};

// Each change sends one request, to its own adapter, and stores what the
// driver accepted.
TEST_P(LayoutScenario, EveryChangeReachesItsAdapterAndTheStore) {
    const ChangeCase cases[] = {
        {"interface 1 is mode 2 to the driver",
         &PortoptApi::PoSetInterface,
         &kKarbend,
         1,
         "InterfaceMode",
         3,
         kSetInterfaceMode,
         {1, 0, 0, 0, 2, 0, 0, 0},
         2},
        {"interface 3",
         &PortoptApi::PoSetInterface,
         &kKarbend,
         3,
         "InterfaceMode",
         0,
         kSetInterfaceMode,
         {1, 0, 0, 0, 3, 0, 0, 0},
         3},
        {"fast flush on",
         &PortoptApi::PoSetFastFlush,
         &kKarbend,
         1,
         "FastFlush",
         0,
         kSetFastFlush,
         {1, 0, 0, 0, 1, 0, 0, 0},
         1},
        {"transmit mode 1",
         &PortoptApi::PoSetTxMode,
         &kKarbend,
         1,
         "TxMode",
         0,
         kSetTxMode,
         {1, 0, 0, 0, 1, 0, 0, 0},
         1},
        {"FIFO disabled",
         &PortoptApi::PoSetUARTFIFO,
         &kKarbend,
         0,
         "DisableFiFo",
         0,
         kSetUartFifo,
         {1, 0, 0, 0, 1, 0, 0, 0},
         1},
        {"FIFO enabled by 2",
         &PortoptApi::PoSetUARTFIFO,
         &kKarbend,
         2,
         "DisableFiFo",
         1,
         kSetUartFifo,
         {1, 0, 0, 0, 0, 0, 0, 0},
         0},
        {"tovelser interface 1, value first",
         &PortoptApi::PoSetInterface,
         &kTovelser,
         1,
         "SerInterface",
         3,
         kSetInterfaceTovelser,
         {1, 0, 0, 0, 0, 0, 0, 0},
         1},
        {"single-port adapter, channel -1",
         &PortoptApi::PoSetTxMode,
         &kSinglePort,
         1,
         "TxMode",
         0,
         kSetTxMode,
         {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0},
         1},
        {"capability 0x10 keeps mode 0 without a request",
         &PortoptApi::PoSetInterface,
         &kModeZeroOnly,
         0,
         "InterfaceMode",
         3,
         0,
         {},
         3},
    };
    for (const ChangeCase& c : cases) {
        Store(*c.port, c.name, c.old);
        EXPECT_EQ(Change(c.call, *c.port, c.argument), 1) << c.what;
        EXPECT_FALSE(IsOwnCode(error)) << c.what << ": " << error;
        EXPECT_LE(sent.size(), 1u) << c.what;
        ExpectSentAndStored(c);
    }
    EXPECT_EQ(fx->Portopt().PoGetInterface(kTovelserCom), 1);
    EXPECT_EQ(fx->Portopt().PoGetUARTFIFO(kKarbendCom), 1);
}

// What fails before or at the driver: the family and capability rules, a
// port whose node is hidden, and a driver that refuses.  The store keeps
// its value every time.
TEST_P(LayoutScenario, RefusedChangesLeaveTheStoreAlone) {
    struct Refusal {
        ChangeCase change;      // with the value 1 stored before and after
        std::uint32_t refusal;  // the driver's answer; 0 for none
        bool hidden;
    };
    const Refusal cases[] = {
        {{"tovelser has no fast flush",
          &PortoptApi::PoSetFastFlush,
          &kTovelser,
          0,
          "FastFlush",
          1,
          0,
          {},
          1},
         0,
         false},
        {{"tovelser has no transmit mode",
          &PortoptApi::PoSetTxMode,
          &kTovelser,
          0,
          "TxMode",
          1,
          0,
          {},
          1},
         0,
         false},
        {{"tovelser has no FIFO switch",
          &PortoptApi::PoSetUARTFIFO,
          &kTovelser,
          1,
          "DisableFiFo",
          1,
          0,
          {},
          1},
         0,
         false},
        {{"capability 0x30 refuses mode 0",
          &PortoptApi::PoSetInterface,
          &kTovelser,
          0,
          "SerInterface",
          1,
          0,
          {},
          1},
         0,
         false},
        {{"capability 0x10 has only mode 0",
          &PortoptApi::PoSetInterface,
          &kModeZeroOnly,
          2,
          "InterfaceMode",
          1,
          0,
          {},
          1},
         0,
         false},
        {{"status 13 hides the port",
          &PortoptApi::PoSetTxMode,
          &kKarbend,
          0,
          "TxMode",
          1,
          0,
          {},
          1},
         0,
         true},
        {{"driver fails the request",
          &PortoptApi::PoSetTxMode,
          &kKarbend,
          0,
          "TxMode",
          1,
          kSetTxMode,
          {1, 0, 0, 0, 0, 0, 0, 0},
          1},
         kGenFailure,
         false},
        {{"driver does not know the request",
          &PortoptApi::PoSetInterface,
          &kTovelser,
          2,
          "SerInterface",
          1,
          kSetInterfaceTovelser,
          {2, 0, 0, 0, 0, 0, 0, 0},
          1},
         kInvalidFunction,
         false},
    };
    for (const Refusal& r : cases) {
        const ChangeCase& c = r.change;
        Store(*c.port, c.name, c.old);
        if (r.refusal) fx->RefuseRequests(c.port->adapter, r.refusal);
        if (r.hidden) fx->SetNodeStatus(c.port->id, kHiddenNode);
        EXPECT_EQ(Change(c.call, *c.port, c.argument), 0) << c.what;
        // A hidden port may count as absent, whose per-port value is not
        // found (1016); every other refusal sets no code of the call's own,
        // and a driver's refusal leaves the code its request got.
        if (!r.hidden) {
            EXPECT_FALSE(IsOwnCode(error)) << c.what << ": " << error;
        }
        if (r.refusal) {
            EXPECT_EQ(error, r.refusal) << c.what;
        }
        EXPECT_LE(sent.size(), 1u) << c.what;
        ExpectSentAndStored(c);
        if (r.refusal) fx->RefuseRequests(c.port->adapter, 0);
        if (r.hidden) fx->SetNodeStatus(c.port->id, kStartedNode);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutScenario,
                         testing::Values(StoreLayout::kPerPort, StoreLayout::kSharedTables),
                         [](const auto& info) { return fixture::LayoutName(info.param); });

// A hidden node (status 13) carries COM 7 too, before or after the live
// port in the list: a change goes to the live port's channel, is stored in
// the live port's key and reads back from there; the hidden node's key
// keeps its value.
TEST_F(AdaptersScenario, HiddenNodeSharingTheComNumberIsLeftAlone) {
    for (const char* hidden :
         {"USB\\VID_1A2B&PID_2052&MI_00\\7&0", "USB\\VID_1A2B&PID_2052&MI_02\\7&9"}) {
        fx->AddPort(hidden, kKarbendAdapter, "Adapter Port 1 (COM7)");
        fx->SetNodeStatus(hidden, kHiddenNode);
        fx->SetPortDword(hidden, "TxMode", 0);
        fx->SetPortDword(kKarbendPort, "TxMode", 0);
        EXPECT_EQ(Change(&PortoptApi::PoSetTxMode, kKarbend, 1), 1) << hidden;
        EXPECT_EQ(fx->Portopt().PoGetTxMode(kKarbendCom), 1) << hidden;
        EXPECT_EQ(fx->GetPortDword(kKarbendPort, "TxMode"), 1u) << hidden;
        EXPECT_EQ(fx->GetPortDword(hidden, "TxMode"), 0u) << hidden;
        ASSERT_EQ(sent.size(), 1u) << hidden;
        EXPECT_EQ(sent[0].input, (Bytes{1, 0, 0, 0, 1, 0, 0, 0})) << "the live port's channel";
    }
}

// A hardware key that refuses writing makes the per-port store fail after
// the driver accepted the change: the driver is given the old value back,
// exactly as stored, and the call fails with 1016.
TEST_F(AdaptersScenario, FailedStoreGivesTheDriverItsOldValueBack) {
    struct Rollback {
        ChangeCase change;  // what is sent first, and the value kept
        std::array<std::uint8_t, 8> rollbackRecord;
    };
    const Rollback cases[] = {
        {{"transmit mode",
          &PortoptApi::PoSetTxMode,
          &kKarbend,
          1,
          "TxMode",
          0,
          kSetTxMode,
          {1, 0, 0, 0, 1, 0, 0, 0},
          0},
         {1, 0, 0, 0, 0, 0, 0, 0}},
        {{"interface: the old code goes back untranslated",
          &PortoptApi::PoSetInterface,
          &kKarbend,
          3,
          "InterfaceMode",
          1,
          kSetInterfaceMode,
          {1, 0, 0, 0, 3, 0, 0, 0},
          1},
         {1, 0, 0, 0, 1, 0, 0, 0}},
        {{"tovelser interface, value first",
          &PortoptApi::PoSetInterface,
          &kTovelser,
          2,
          "SerInterface",
          3,
          kSetInterfaceTovelser,
          {2, 0, 0, 0, 0, 0, 0, 0},
          3},
         {3, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Rollback& r : cases) Store(*r.change.port, r.change.name, r.change.old);
    fx->DenyHardwareWrite(kKarbendPort);
    fx->DenyHardwareWrite(kTovelserPort);
    for (const Rollback& r : cases) {
        const ChangeCase& c = r.change;
        EXPECT_EQ(Change(c.call, *c.port, c.argument), 0) << c.what;
        EXPECT_EQ(error, kRegistryIoFailed) << c.what;
        ASSERT_EQ(sent.size(), 2u) << c.what;
        ExpectSentAndStored(c);
        EXPECT_EQ(sent[1].code, c.code) << c.what;
        EXPECT_EQ(sent[1].input, Bytes(r.rollbackRecord.begin(), r.rollbackRecord.end())) << c.what;
    }
}

}  // namespace
