// The four query calls end to end, in both store layouts and for both
// driver families, on either backend.
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

class QueryScenario : public Scenario {
protected:
    int Query(PortoptApi::Get call, int port) { return Invoke(call, port); }
    int Interface(int port) { return Query(fx->Portopt().PoGetInterface, port); }
    int FastFlush(int port) { return Query(fx->Portopt().PoGetFastFlush, port); }
    int TxMode(int port) { return Query(fx->Portopt().PoGetTxMode, port); }
    int UartFifo(int port) { return Query(fx->Portopt().PoGetUARTFIFO, port); }
};

TEST_F(QueryScenario, ComNumbersOutsideOneTo256AreRefused) {
    const PortoptApi& api = fx->Portopt();
    for (PortoptApi::Get call :
         {api.PoGetInterface, api.PoGetFastFlush, api.PoGetTxMode, api.PoGetUARTFIFO}) {
        for (int port : {0, 257, -1, INT_MIN, INT_MAX}) {
            EXPECT_EQ(Query(call, port), 0) << port;
            EXPECT_EQ(error, kInvalidParameter) << port;
        }
    }
}

TEST_F(QueryScenario, FirstAndLastComNumbersAreAccepted) {
    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "TxMode", fixture::Table({{1, 1}, {256, 0}}));
    EXPECT_EQ(TxMode(1), 1);
    EXPECT_EQ(TxMode(256), 0);
    EXPECT_NE(error, kFileNotFound);
}

TEST_F(QueryScenario, PerPortValuesWithInterfaceCodeTranslation) {
    const std::pair<std::uint32_t, int> stored_to_reported[] = {{0, 0}, {1, 2}, {2, 1}, {3, 3}};
    for (const auto& [stored, reported] : stored_to_reported) {
        fx->SetPortDword(kKarbendPort, "InterfaceMode", stored);
        EXPECT_EQ(Interface(kKarbendCom), reported) << "stored " << stored;
    }
    // The other family's interface name is not read for this port.
    fx->SetPortDword(kKarbendPort, "SerInterface", 1);
    fx->SetPortDword(kKarbendPort, "InterfaceMode", 1);
    EXPECT_EQ(Interface(kKarbendCom), 2);

    fx->SetPortDword(kKarbendPort, "FastFlush", 1);
    fx->SetPortDword(kKarbendPort, "TxMode", 1);
    EXPECT_EQ(FastFlush(kKarbendCom), 1);
    EXPECT_EQ(TxMode(kKarbendCom), 1);
    EXPECT_NE(error, kFileNotFound);
}

TEST_F(QueryScenario, FifoIsEnabledOnlyByAStoredZero) {
    const std::pair<std::uint32_t, int> stored_to_reported[] = {{0, 1}, {1, 0}, {2, 0}};
    for (const auto& [stored, reported] : stored_to_reported) {
        fx->SetPortDword(kKarbendPort, "DisableFiFo", stored);
        EXPECT_EQ(UartFifo(kKarbendCom), reported) << "stored " << stored;
    }
    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "DisableFiFo", fixture::Table({{kKarbendCom, 0}, {8, 0x80}}));
    EXPECT_EQ(UartFifo(kKarbendCom), 1);
    EXPECT_EQ(UartFifo(8), 0);
    EXPECT_EQ(UartFifo(9), 0);  // 0xFF: no value
    EXPECT_EQ(error, kFileNotFound);
}

TEST_F(QueryScenario, UnstoredPerPortSettingsReportNotFound) {
    EXPECT_EQ(Interface(kKarbendCom), -1);
    EXPECT_EQ(error, kFileNotFound);
    EXPECT_EQ(FastFlush(kKarbendCom), -1);
    EXPECT_EQ(error, kFileNotFound);
    fx->SetPortDword(kKarbendPort, "TxMode", 0xFFFFFFFF);
    EXPECT_EQ(TxMode(kKarbendCom), -1);
    EXPECT_EQ(error, kFileNotFound);
    EXPECT_EQ(UartFifo(kKarbendCom), 0);
    EXPECT_EQ(error, kFileNotFound);
}

TEST_F(QueryScenario, UnknownComNumberPerPortIsNotStored) {
    fx->SetPortDword(kKarbendPort, "TxMode", 1);
    EXPECT_EQ(TxMode(42), -1);
    EXPECT_EQ(error, kFileNotFound);
    EXPECT_EQ(UartFifo(42), 0);
    EXPECT_EQ(error, kFileNotFound);
}

TEST_F(QueryScenario, KarbendSharedTablesWithTranslation) {
    fx->SetSwitch(Driver::kKarbend, 1);
    fx->SetTable(Driver::kKarbend, "InterfaceMode",
                 fixture::Table({{kKarbendCom, 1}, {8, 2}, {9, 3}, {10, 0}}));
    fx->SetTable(Driver::kKarbend, "FastFlush", fixture::Table({{kKarbendCom, 0}}));
    // A per-port value is not consulted in shared-table mode.
    fx->SetPortDword(kKarbendPort, "FastFlush", 1);

    EXPECT_EQ(Interface(kKarbendCom), 2);
    // No port carries COM 8 to 10: the table byte still answers.
    EXPECT_EQ(Interface(8), 1);
    EXPECT_EQ(Interface(9), 3);
    EXPECT_EQ(Interface(10), 0);
    EXPECT_EQ(FastFlush(kKarbendCom), 0);
    EXPECT_NE(error, kFileNotFound);

    EXPECT_EQ(Interface(11), -1);  // 0xFF
    EXPECT_EQ(error, kFileNotFound);
    EXPECT_EQ(TxMode(kKarbendCom), -1);  // no table at all
    EXPECT_NE(error, kFileNotFound);
}

TEST_F(QueryScenario, SwitchOffOrUnreadableMeansPerPort) {
    fx->SetTable(Driver::kKarbend, "TxMode", fixture::Table({{kKarbendCom, 0}}));
    fx->SetPortDword(kKarbendPort, "TxMode", 1);
    fx->SetSwitch(Driver::kKarbend, 0);
    EXPECT_EQ(TxMode(kKarbendCom), 1);
    fx->SetValue(fixture::MachineFixture::SwitchKey(Driver::kKarbend), "FixComFunc", 3,
                 {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(TxMode(kKarbendCom), 1);
    fx->SetSwitch(Driver::kKarbend, 1);
    EXPECT_EQ(TxMode(kKarbendCom), 0);
}

TEST_F(QueryScenario, TovelserPortHasOnlyAnUntranslatedInterfaceMode) {
    AddTovelserPort();
    fx->SetPortDword(kTovelserPort, "SerInterface", 1);
    fx->SetPortDword(kTovelserPort, "InterfaceMode", 3);
    EXPECT_EQ(Interface(kTovelserCom), 1);

    // Nothing stored for the other three: they answer 0 without a store
    // read, so without the store's not-found code.
    EXPECT_EQ(FastFlush(kTovelserCom), 0);
    EXPECT_EQ(TxMode(kTovelserCom), 0);
    EXPECT_EQ(UartFifo(kTovelserCom), 0);
    EXPECT_NE(error, kFileNotFound);
    fx->SetPortDword(kTovelserPort, "DisableFiFo", 0);
    fx->SetPortDword(kTovelserPort, "TxMode", 1);
    EXPECT_EQ(UartFifo(kTovelserCom), 0);
    EXPECT_EQ(TxMode(kTovelserCom), 0);
}

TEST_F(QueryScenario, TovelserSharedTablesUseTheirOwnDriversSwitch) {
    AddTovelserPort();
    fx->SetSwitch(Driver::kTovelser, 1);
    fx->SetTable(Driver::kTovelser, "SerInterface", fixture::Table({{kTovelserCom, 2}}));
    fx->SetTable(Driver::kKarbend, "InterfaceMode", fixture::Table({{kTovelserCom, 3}}));
    EXPECT_EQ(Interface(kTovelserCom), 2);

    // The KARBEND port keeps to its own, per-port store.
    fx->SetPortDword(kKarbendPort, "InterfaceMode", 2);
    EXPECT_EQ(Interface(kKarbendCom), 1);
    EXPECT_NE(error, kFileNotFound);
}

}  // namespace
