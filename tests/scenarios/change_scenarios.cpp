// The four change calls end to end on either backend: argument checks,
// failures that must leave the store as it was, and (where the backend
// resolves ports to their adapters) the change reaching the driver and the
// store.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

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

TEST_F(ChangeScenario, PerPortChangeReachesTheDriverAndTheStore) {
    REQUIRE_DEVICE_PARENTS();
    const PortoptApi& api = fx->Portopt();
    fx->SetPortDword(kKarbendPort, "TxMode", 0);
    fx->SetPortDword(kKarbendPort, "InterfaceMode", 3);
    EXPECT_EQ(Change(api.PoSetTxMode, kKarbendCom, 1), 1);
    EXPECT_EQ(Change(api.PoSetInterface, kKarbendCom, 1), 1);
    EXPECT_FALSE(IsOwnCode(error)) << error;
    EXPECT_EQ(fx->GetPortDword(kKarbendPort, "TxMode"), 1u);
    EXPECT_EQ(fx->GetPortDword(kKarbendPort, "InterfaceMode"), 2u);
    EXPECT_EQ(api.PoGetInterface(kKarbendCom), 1);

    if (!fx->HasRequestLog()) return;
    const auto requests = fx->Requests(kKarbendAdapter);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, 0x0404201Cu);
    EXPECT_EQ(requests[0].input, (fixture::Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(requests[1].code, 0x04042014u);
    EXPECT_EQ(requests[1].input, (fixture::Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST_F(ChangeScenario, TovelserInterfaceChangeUsesItsOwnTableAndRecord) {
    REQUIRE_DEVICE_PARENTS();
    const PortoptApi& api = fx->Portopt();
    AddTovelserPort();
    fx->SetSwitch(Driver::kTovelser, 1);
    fx->SetTable(Driver::kTovelser, "SerInterface", fixture::Table({{kTovelserCom, 1}}));
    fx->SetTable(Driver::kTovelser, "TxMode", fixture::Table({{kTovelserCom, 0}}));

    EXPECT_EQ(Change(api.PoSetInterface, kTovelserCom, 2), 1);
    EXPECT_EQ(fx->GetTable(Driver::kTovelser, "SerInterface"),
              fixture::Table({{kTovelserCom, 2}}));
    EXPECT_EQ(Change(api.PoSetTxMode, kTovelserCom, 1), 0) << "tovelser adapters have no TxMode";
    EXPECT_FALSE(IsOwnCode(error)) << error;
    EXPECT_EQ(fx->GetTable(Driver::kTovelser, "TxMode"), fixture::Table({{kTovelserCom, 0}}));

    if (!fx->HasRequestLog()) return;
    const auto requests = fx->Requests(kTovelserAdapter);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, 0x00222080u);
    EXPECT_EQ(requests[0].input, (fixture::Bytes{2, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ChangeScenario, FifoCallStoresTheInverseOfEnable) {
    REQUIRE_DEVICE_PARENTS();
    const PortoptApi& api = fx->Portopt();
    fx->SetPortDword(kKarbendPort, "DisableFiFo", 0);
    EXPECT_EQ(Change(api.PoSetUARTFIFO, kKarbendCom, 0), 1);
    EXPECT_EQ(fx->GetPortDword(kKarbendPort, "DisableFiFo"), 1u);
    EXPECT_EQ(Change(api.PoSetUARTFIFO, kKarbendCom, 2), 1);
    EXPECT_EQ(fx->GetPortDword(kKarbendPort, "DisableFiFo"), 0u);
    EXPECT_EQ(api.PoGetUARTFIFO(kKarbendCom), 1);
}

}  // namespace
