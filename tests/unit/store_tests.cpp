// The settings store in both layouts and for both driver families: the
// FixComFunc switch, the shared 256-byte tables and the per-port values.
#include <string>

#include "one_step.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"
#include "sim_machine_test.h"
#include "store_layouts.h"

namespace portopt {
namespace {

using one_step::LookupProductId;
using one_step::ReadPortSetting;
using one_step::WritePortSetting;

constexpr const char* kPortA = "USB\\PORT\\A";
constexpr const char* kPortB = "USB\\PORT\\B";

simwin::Bytes Table(std::size_t size = kSharedTableSize, std::uint8_t fill = kNoTableValue) {
    return simwin::Bytes(size, fill);
}

simwin::Bytes TableValue(const char* key, const char* name) {
    const auto value = simwin::GetValue(key, name);
    return value ? value->data : simwin::Bytes{};
}

class Store : public SimMachineTest {
protected:
    void SetUp() override {
        SimMachineTest::SetUp();
        AddAdapter(kKarbendAdapter);
        AddAdapter(kTovelserAdapter);
        AddPort(kPortA, kKarbendAdapter, "Port 1 (COM3)");
        AddPort(kPortB, kTovelserAdapter, "Port 1 (COM4)");
        SetLastError(kUntouched);
    }
};

// ---- the switch ----

TEST_F(Store, SwitchIsReadPerFamilyAndFromTheLowBytesOnly) {
    EXPECT_EQ(ReadSwitch(FamilyOf(0x2052)), 0u);  // no key at all
    SetSwitch(kKarbendKey, 7);
    EXPECT_EQ(ReadSwitch(FamilyOf(0x2052)), 7u);
    EXPECT_EQ(ReadSwitch(FamilyOf(kNoMatchingPort)), 7u);
    EXPECT_EQ(ReadSwitch(FamilyOf(0x1131)), 0u);

    simwin::SetValue(kTovelserKey, "FixComFunc", REG_BINARY, {0x01, 0x02});
    EXPECT_EQ(ReadSwitch(FamilyOf(0x1131)), 0x0201u);
    // Too long to be a 32-bit switch: per-port mode.
    simwin::SetValue(kTovelserKey, "FixComFunc", REG_BINARY, {1, 0, 0, 0, 0});
    EXPECT_EQ(ReadSwitch(FamilyOf(0x1131)), 0u);
}

TEST_F(Store, ReadersNeedOnlyReadAccessToTheSwitchKey) {
    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "TxMode", REG_BINARY, Table());
    simwin::RestrictKey(kKarbendKey, KEY_READ);
    EXPECT_EQ(ReadSwitch(FamilyOf(0x2052)), 1u);

    auto table = Table();
    table[2] = 1;
    simwin::SetValue(kKarbendKey, "TxMode", REG_BINARY, table);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    // Changing the table still needs all access.
    EXPECT_FALSE(WritePortSetting(3, Option::kTxMode, 0, 4));
    EXPECT_EQ(TableValue(kKarbendKey, "TxMode"), table);
}

// ---- shared tables ----

TEST_F(Store, TableBytesOfFirstAndLastComNumber) {
    SetSwitch(kKarbendKey, 1);
    auto table = Table();
    table[0] = 0;
    table[255] = 254;
    simwin::SetValue(kKarbendKey, "FastFlush", REG_BINARY, table);

    // Neither COM 1 nor COM 256 is present: they follow the KARBEND switch.
    EXPECT_EQ(ReadPortSetting(1, Option::kFastFlush), 0);
    EXPECT_EQ(ReadPortSetting(256, Option::kFastFlush), 254);
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(ReadPortSetting(2, Option::kFastFlush), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(WritePortSetting(256, Option::kFastFlush, 0x101, 4));
    table[255] = 0x01;  // only the low byte
    EXPECT_EQ(TableValue(kKarbendKey, "FastFlush"), table);
}

TEST_F(Store, TableHasNoByteForComNumbersOutOfRange) {
    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "TxMode", REG_BINARY, Table());
    EXPECT_EQ(ReadPortSetting(257, Option::kTxMode), kNotStored);
    EXPECT_FALSE(WritePortSetting(0, Option::kTxMode, 1, 4));
    EXPECT_FALSE(WritePortSetting(257, Option::kTxMode, 1, 4));
    EXPECT_EQ(TableValue(kKarbendKey, "TxMode"), Table());
}

TEST_F(Store, EachFamilyUsesItsOwnDriversTable) {
    SetSwitch(kTovelserKey, 1);
    simwin::SetValue(kTovelserKey, "SerInterface", REG_BINARY, Table(256, 3));
    SetPortValue(kPortA, "InterfaceMode", simwin::Dword(2));

    EXPECT_EQ(ReadPortSetting(4, Option::kInterfaceMode), 3);  // tovelser port: table
    EXPECT_EQ(ReadPortSetting(3, Option::kInterfaceMode), 2);  // other port: per-port

    ASSERT_TRUE(WritePortSetting(4, Option::kInterfaceMode, 1, 4));
    EXPECT_EQ(TableValue(kTovelserKey, "SerInterface")[3], 1);
    EXPECT_FALSE(simwin::GetValue(simwin::HardwareKeyPath(kPortB), "SerInterface"));
}

TEST_F(Store, MissingOrOversizedTableIsNeitherReadNorCreated) {
    SetSwitch(kKarbendKey, 1);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), kNotStored);
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(WritePortSetting(3, Option::kTxMode, 1, 4));
    EXPECT_FALSE(simwin::GetValue(kKarbendKey, "TxMode"));

    simwin::SetValue(kKarbendKey, "TxMode", REG_BINARY, Table(257, 0));
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), kNotStored);
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(WritePortSetting(3, Option::kTxMode, 1, 4));
    EXPECT_EQ(TableValue(kKarbendKey, "TxMode"), Table(257, 0));
}

TEST_F(Store, ShortTableHoldsNoValueBeyondItsEnd) {
    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "TxMode", REG_NONE, Table(3, 1));

    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    EXPECT_EQ(ReadPortSetting(77, Option::kTxMode), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    // The rewrite is a full binary table, padded with "no value".
    ASSERT_TRUE(WritePortSetting(10, Option::kTxMode, 0, 4));
    auto expected = Table();
    expected[0] = expected[1] = expected[2] = 1;
    expected[9] = 0;
    const auto stored = simwin::GetValue(kKarbendKey, "TxMode");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, DWORD(REG_BINARY));
    EXPECT_EQ(stored->data, expected);
}

TEST_F(Store, WriterReplacesNoValueByte) {
    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "DisableFiFo", REG_BINARY, Table());
    ASSERT_TRUE(WritePortSetting(3, Option::kUartFifo, 1, 4));
    EXPECT_EQ(ReadPortSetting(3, Option::kUartFifo), 1);
}

TEST_F(Store, FailedTableWriteIsReported) {
    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "TxMode", REG_BINARY, Table());
    simwin::FailAt("RegSetValueExA", 1);
    EXPECT_FALSE(WritePortSetting(3, Option::kTxMode, 1, 4));
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// ---- per-port values ----

TEST_F(Store, PerPortValueOfTheMatchingPort) {
    SetPortValue(kPortA, "TxMode", simwin::Dword(1));
    SetPortValue(kPortB, "SerInterface", simwin::Dword(0));
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    EXPECT_EQ(ReadPortSetting(4, Option::kInterfaceMode), 0);
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Store, PerPortMissingOrMinusOneIsNotStored) {
    EXPECT_EQ(ReadPortSetting(3, Option::kFastFlush), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    SetLastError(kUntouched);
    SetPortValue(kPortA, "FastFlush", simwin::Dword(0xFFFFFFFF));
    EXPECT_EQ(ReadPortSetting(3, Option::kFastFlush), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    SetLastError(kUntouched);
    EXPECT_EQ(ReadPortSetting(77, Option::kFastFlush), kNotStored);  // no such port
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Store, NotFoundCodeSurvivesTheListRelease) {
    // Releasing a list may change the last-error code (SetupAPI clears it
    // on success, or sets its own on failure); a query releases the ports
    // and the all-devices list after reading, and reports "no value" last.
    for (int list : {1, 2}) {
        simwin::FailAt("SetupDiDestroyDeviceInfoList", list, ERROR_GEN_FAILURE);
        EXPECT_EQ(PoGetFastFlush(3), kNotStored);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "list " << list;
        simwin::ClearFaults();
    }
}

TEST_F(Store, PerPortValuesOfOtherLengths) {
    SetPortValue(kPortA, "TxMode", {0x01}, REG_BINARY);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    SetPortValue(kPortA, "TxMode", {0xFF, 0xFF}, REG_BINARY);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 0xFFFF);
    SetPortValue(kPortA, "TxMode", {}, REG_BINARY);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 0);
    SetPortValue(kPortA, "TxMode", {1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}, REG_QWORD);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    EXPECT_NE(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    // Larger than the read buffer: unreadable.
    SetPortValue(kPortA, "TxMode", simwin::Bytes(9, 0), REG_BINARY);
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// Two ports claim COM 3.  The values live in the key of the port the call
// resolves (the first that passes the port match), and only there; when
// none resolves, the reader takes the first claimant whose value reads and
// the writer the first claimant.
TEST_F(Store, DuplicateComNumberUsesTheResolvedPortsKey) {
    constexpr const char* kPortC = "USB\\PORT\\C";
    AddPort(kPortC, kKarbendAdapter, "COM3");
    SetPortValue(kPortC, "TxMode", simwin::Dword(1));
    const auto valueOf = [](const char* port) {
        const auto value = simwin::GetValue(simwin::HardwareKeyPath(port), "TxMode");
        return value ? int(value->data.at(0)) : -1;
    };

    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), kNotStored) << "A resolves; its key holds none";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(WritePortSetting(3, Option::kTxMode, 0, 4));
    EXPECT_EQ(valueOf(kPortA), 0);
    EXPECT_EQ(valueOf(kPortC), 1);

    simwin::SetStatus(kPortA, 13);  // hidden: C resolves
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
    ASSERT_TRUE(WritePortSetting(3, Option::kTxMode, 2, 4));
    EXPECT_EQ(valueOf(kPortA), 0);
    EXPECT_EQ(valueOf(kPortC), 2);

    simwin::SetStatus(kPortC, 13);  // neither resolves: by name alone
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 0);
    simwin::RestrictKey(simwin::HardwareKeyPath(kPortA), KEY_WRITE);  // unreadable: passed over
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 2);
    ASSERT_TRUE(WritePortSetting(3, Option::kTxMode, 3, 4));
    EXPECT_EQ(valueOf(kPortA), 3);
}

TEST_F(Store, PerPortNeedsNoParentButSkipsUnreadableNames) {
    AddPort("ROOT\\PORT\\0", "", "COM30");
    SetPortValue("ROOT\\PORT\\0", "TxMode", simwin::Dword(1));
    EXPECT_EQ(ReadPortSetting(30, Option::kTxMode), 1);
    ASSERT_TRUE(WritePortSetting(30, Option::kTxMode, 0, 4));
    EXPECT_EQ(ReadPortSetting(30, Option::kTxMode), 0);

    simwin::RemoveFriendlyName("ROOT\\PORT\\0");
    EXPECT_EQ(ReadPortSetting(30, Option::kTxMode), kNotStored);
    EXPECT_FALSE(WritePortSetting(30, Option::kTxMode, 1, 4));
}

TEST_F(Store, PerPortWriterCreatesTheValue) {
    ASSERT_TRUE(WritePortSetting(3, Option::kFastFlush, 1, 4));
    const auto stored = simwin::GetValue(simwin::HardwareKeyPath(kPortA), "FastFlush");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, DWORD(REG_DWORD));
    EXPECT_EQ(stored->data, simwin::Dword(1));
    EXPECT_FALSE(WritePortSetting(77, Option::kFastFlush, 1, 4));
}

// The resolved port's key is the only one written, even when it cannot be
// opened for writing.
TEST_F(Store, PerPortWriterWritesOnlyTheResolvedPort) {
    AddPort("USB\\PORT\\C", kKarbendAdapter, "COM3");
    simwin::RestrictKey(simwin::HardwareKeyPath(kPortA), KEY_READ);
    EXPECT_FALSE(WritePortSetting(3, Option::kFastFlush, 1, 4));
    EXPECT_FALSE(simwin::GetValue(simwin::HardwareKeyPath("USB\\PORT\\C"), "FastFlush"));
}

TEST_F(Store, WriterNeverWritesMoreThanTheValueHolds) {
    EXPECT_FALSE(WritePortSetting(3, Option::kFastFlush, 1, 8));
    EXPECT_FALSE(simwin::GetValue(simwin::HardwareKeyPath(kPortA), "FastFlush"));

    SetSwitch(kKarbendKey, 1);
    simwin::SetValue(kKarbendKey, "FastFlush", REG_BINARY, Table());
    EXPECT_FALSE(WritePortSetting(3, Option::kFastFlush, 1, 8)) << "shared table";
    EXPECT_EQ(simwin::GetValue(kKarbendKey, "FastFlush")->data, Table());
    SetSwitch(kKarbendKey, 0);

    ASSERT_TRUE(WritePortSetting(3, Option::kFastFlush, 0x0201, 2));
    EXPECT_EQ(simwin::GetValue(simwin::HardwareKeyPath(kPortA), "FastFlush")->data,
              (simwin::Bytes{0x01, 0x02}));
}

// Without the ports list the per-port value cannot be read or written, and
// the platform's code is what the caller finds: the library sets none over
// it.
TEST_F(Store, PortsListThatCannotBeBuiltLeavesThePlatformsCode) {
    SetPortValue(kPortA, "TxMode", simwin::Dword(1));
    // The first list is the ports list the call's walk and store share.
    simwin::FailAt("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(PoGetTxMode(3), kNotStored);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    simwin::FailAt("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(WritePortSetting(3, Option::kTxMode, 0, 4));
    EXPECT_EQ(ReadPortSetting(3, Option::kTxMode), 1);
}

}  // namespace
}  // namespace portopt
