// The change calls against one adapter: what reaches the driver, what is
// stored, and which model rules stop a change before it is sent.
#include <gtest/gtest.h>

#include "change_rig.h"
#include "portopt.h"

namespace change_test {
namespace {

constexpr DWORD kSetInterfaceTovelser = 0x00222080;
constexpr DWORD kSetInterfaceMode = 0x04042014;
constexpr DWORD kSetFastFlush = 0x04042018;
constexpr DWORD kSetTxMode = 0x0404201C;
constexpr DWORD kSetUartFifo = 0x04042020;

class ChangeCalls : public MachineTest {
protected:
    // COM 7, the second port of `adapterId`, with `name` stored as `old`.
    std::string AdapterWithCom7(const std::string& adapterId, const std::string& name,
                                std::uint8_t old, Layout layout = Layout::kSharedTable) {
        adapter_ = adapterId;
        layout_ = layout;
        AddAdapter(adapterId, layout);
        port_ = AddPort(adapterId, "Serial Adapter Port 2 (COM7)");
        StoreSetting(layout, adapterId, 7, port_, name, old);
        return AdapterPath(adapterId);
    }
    std::optional<std::uint32_t> Stored(const std::string& name) {
        return StoredSetting(layout_, adapter_, 7, port_, name);
    }

    std::string adapter_;
    std::string port_;
    Layout layout_ = Layout::kSharedTable;
};

TEST_F(ChangeCalls, InterfaceModeRecordPutsTheValueFirstOnlyForTovelserAdapters) {
    const std::string tovelser = AdapterWithCom7(kTovelserAdapter, "SerInterface", 1);
    ASSERT_EQ(PoSetInterface(7, 3), 1);
    const auto sent = simwin::Requests(tovelser);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, kSetInterfaceTovelser);
    EXPECT_EQ(sent[0].input, (simwin::Bytes{3, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Stored("SerInterface"), 3u);

    simwin::Reset();
    const std::string plain = AdapterWithCom7(kPlainAdapter, "InterfaceMode", 1);
    ASSERT_EQ(PoSetInterface(7, 3), 1);
    const auto plainSent = simwin::Requests(plain);
    ASSERT_EQ(plainSent.size(), 1u);
    EXPECT_EQ(plainSent[0].code, kSetInterfaceMode);
    EXPECT_EQ(plainSent[0].input, (simwin::Bytes{1, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(Stored("InterfaceMode"), 3u);
}

TEST_F(ChangeCalls, InterfaceModesOneAndTwoAreSwappedOnlyForOtherAdapters) {
    const std::string tovelser = AdapterWithCom7(kTovelserAdapter, "SerInterface", 3);
    ASSERT_EQ(PoSetInterface(7, 1), 1);
    EXPECT_EQ(ValueFirst(simwin::Requests(tovelser).at(0)).value, 1);
    EXPECT_EQ(Stored("SerInterface"), 1u);

    simwin::Reset();
    const std::string plain = AdapterWithCom7(kPlainAdapter, "InterfaceMode", 3, Layout::kPerPort);
    ASSERT_EQ(PoSetInterface(7, 1), 1);
    EXPECT_EQ(ChannelFirst(simwin::Requests(plain).at(0)).value, 2);
    EXPECT_EQ(Stored("InterfaceMode"), 2u);
}

TEST_F(ChangeCalls, SwitchOptionsSendTheirOwnCodeInChannelFirstLayout) {
    struct Case {
        int (*call)(int, int);
        const char* name;
        DWORD code;
        int argument;
        std::uint8_t old;
        int sentAndStored;
    };
    const Case cases[] = {
        {PoSetFastFlush, "FastFlush", kSetFastFlush, 1, 0, 1},
        {PoSetTxMode, "TxMode", kSetTxMode, 0, 1, 0},
        {PoSetUARTFIFO, "DisableFiFo", kSetUartFifo, 0, 0, 1},  // disable
        {PoSetUARTFIFO, "DisableFiFo", kSetUartFifo, 2, 1, 0},  // any nonzero enables
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + std::to_string(c.argument));
        simwin::Reset();
        const std::string path = AdapterWithCom7(kPlainAdapter, c.name, c.old, Layout::kPerPort);
        ASSERT_EQ(c.call(7, c.argument), 1);
        const auto sent = simwin::Requests(path);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, c.code);
        EXPECT_EQ(ChannelFirst(sent[0]).channel, 1);
        EXPECT_EQ(ChannelFirst(sent[0]).value, c.sentAndStored);
        EXPECT_EQ(Stored(c.name), static_cast<std::uint32_t>(c.sentAndStored));
    }
}

TEST_F(ChangeCalls, SinglePortAdapterIsAddressedAsChannelMinusOne) {
    AddAdapter(kPlainAdapter, Layout::kSharedTable);
    const std::string port = AddPort(kPlainAdapter, "USB Serial Port (COM3)");
    StoreSetting(Layout::kSharedTable, kPlainAdapter, 3, port, "TxMode", 0);
    ASSERT_EQ(PoSetTxMode(3, 1), 1);
    EXPECT_EQ(simwin::Requests(AdapterPath(kPlainAdapter)).at(0).input,
              (simwin::Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}));
}

TEST_F(ChangeCalls, ModeZeroOnlyAdapterAnswersWithoutSendingOrStoring) {
    const std::string path = AdapterWithCom7(kModeZeroOnlyAdapter, "InterfaceMode", 0);
    EXPECT_EQ(PoSetInterface(7, 0), 1);
    SetLastError(0);
    EXPECT_EQ(PoSetInterface(7, 1), 0);
    EXPECT_NO_CODE_OF_ITS_OWN();
    EXPECT_TRUE(simwin::Requests(path).empty());
    EXPECT_EQ(simwin::Calls("RegSetValueExA"), 0);

    // The channel is opened before the rule applies.
    simwin::SetUnopenable(path);
    EXPECT_EQ(PoSetInterface(7, 0), 0);
}

TEST_F(ChangeCalls, NoModeZeroAdapterRefusesOnlyModeZero) {
    const std::string path = AdapterWithCom7(kNoModeZeroAdapter, "InterfaceMode", 1);
    SetLastError(0);
    EXPECT_EQ(PoSetInterface(7, 0), 0);
    EXPECT_NO_CODE_OF_ITS_OWN();
    EXPECT_TRUE(simwin::Requests(path).empty());
    for (int mode = 1; mode <= 3; ++mode) EXPECT_EQ(PoSetInterface(7, mode), 1) << mode;
    EXPECT_EQ(simwin::Requests(path).size(), 3u);
}

TEST_F(ChangeCalls, TovelserAdaptersHaveNoSwitchOptions) {
    const std::string path = AdapterWithCom7(kTovelserAdapter, "SerInterface", 1);
    for (const char* name : {"FastFlush", "TxMode", "DisableFiFo"}) {
        StoreSetting(layout_, adapter_, 7, port_, name, 0);
    }
    SetLastError(0);
    EXPECT_EQ(PoSetFastFlush(7, 1), 0);
    EXPECT_EQ(PoSetTxMode(7, 1), 0);
    EXPECT_EQ(PoSetUARTFIFO(7, 0), 0);
    EXPECT_NO_CODE_OF_ITS_OWN();
    EXPECT_TRUE(simwin::Requests(path).empty());
    EXPECT_EQ(simwin::Calls("RegSetValueExA"), 0);
}

TEST_F(ChangeCalls, MissingOldValueIsRefusedBeforeAnythingIsSent) {
    for (Layout layout : {Layout::kSharedTable, Layout::kPerPort}) {
        SCOPED_TRACE(LayoutName(layout));
        simwin::Reset();
        const std::string path = AdapterWithCom7(kPlainAdapter, "TxMode", 0, layout);
        SetLastError(0);
        EXPECT_EQ(PoSetFastFlush(7, 1), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED));
        SetLastError(0);
        EXPECT_EQ(PoSetInterface(7, 1), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED));
        EXPECT_TRUE(simwin::Requests(path).empty());
        EXPECT_EQ(simwin::Calls("RegSetValueExA"), 0);
    }
}

TEST_F(ChangeCalls, OnlyPoSetInterfaceOpensTheChannelBeforeReadingTheOldValue) {
    // Neither the adapter's device nor a stored value: the interface call
    // stops at the open, the others at the old-value read.
    const std::string path = AdapterWithCom7(kPlainAdapter, "Unrelated", 0);
    simwin::SetUnopenable(path);
    SetLastError(0);
    EXPECT_EQ(PoSetInterface(7, 1), 0);
    EXPECT_NO_CODE_OF_ITS_OWN();
    EXPECT_EQ(simwin::Calls("CreateFileA"), 1);

    EXPECT_EQ(PoSetTxMode(7, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED));
    EXPECT_EQ(simwin::Calls("CreateFileA"), 1);
}

TEST_F(ChangeCalls, RejectedRequestLeavesTheStoreAlone) {
    const std::string path = AdapterWithCom7(kPlainAdapter, "FastFlush", 0);
    simwin::RejectRequests(path);
    SetLastError(0);
    EXPECT_EQ(PoSetFastFlush(7, 1), 0);
    EXPECT_NO_CODE_OF_ITS_OWN();
    EXPECT_EQ(Stored("FastFlush"), 0u);
    EXPECT_EQ(simwin::Requests(path).size(), 1u);
}

// Storing fails after the driver took the new value: the driver is given
// the old value back, exactly as stored (no interface-code translation).
TEST_F(ChangeCalls, FailedStoreGivesTheDriverTheOldValueBack) {
    for (Layout layout : {Layout::kSharedTable, Layout::kPerPort}) {
        SCOPED_TRACE(LayoutName(layout));
        simwin::Reset();
        const std::string path = AdapterWithCom7(kPlainAdapter, "InterfaceMode", 1, layout);
        simwin::RestrictKey(layout == Layout::kSharedTable ? SwitchKeyOf(kPlainAdapter)
                                                           : simwin::HardwareKeyPath(port_),
                            KEY_READ);
        SetLastError(0);
        EXPECT_EQ(PoSetInterface(7, 3), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED));
        const auto accepted = simwin::AcceptedRequests(path);
        ASSERT_EQ(accepted.size(), 2u);
        EXPECT_EQ(ChannelFirst(accepted[0]).value, 3);
        EXPECT_EQ(ChannelFirst(accepted[1]).value, 1);
        EXPECT_EQ(ChannelFirst(accepted[1]).channel, 1);
        EXPECT_EQ(accepted[1].code, kSetInterfaceMode);
        EXPECT_EQ(Stored("InterfaceMode"), 1u);
    }
}

TEST_F(ChangeCalls, FailedStoreOnTovelserAdapterRollsBackInValueFirstLayout) {
    const std::string path = AdapterWithCom7(kTovelserAdapter, "SerInterface", 2);
    simwin::FailAt("RegSetValueExA", 1);
    SetLastError(0);
    EXPECT_EQ(PoSetInterface(7, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED));
    const auto accepted = simwin::AcceptedRequests(path);
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[1].input, (simwin::Bytes{2, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Stored("SerInterface"), 2u);
}

// A hidden node (status 13) carries the COM number of a live port on the
// same adapter.  Whichever comes first in the list, a change goes to the
// live port's channel, is stored in the live port's key and reads back from
// there; the hidden node's key is left alone.
TEST_F(ChangeCalls, HiddenNodeSharingTheComNumberIsLeftAlone) {
    for (bool hiddenFirst : {true, false}) {
        SCOPED_TRACE(hiddenFirst ? "hidden node first" : "live port first");
        simwin::Reset();
        AddAdapter(kPlainAdapter, Layout::kPerPort);
        std::string hidden, live;
        if (hiddenFirst) hidden = AddPort(kPlainAdapter, "Serial Adapter Port 1 (COM3)");
        live = AddPort(kPlainAdapter, "Serial Adapter Port 2 (COM3)");
        if (!hiddenFirst) hidden = AddPort(kPlainAdapter, "Serial Adapter Port 1 (COM3)");
        simwin::SetStatus(hidden, 13);
        for (const std::string& port : {hidden, live}) {
            StoreSetting(Layout::kPerPort, kPlainAdapter, 3, port, "TxMode", 0);
        }

        ASSERT_EQ(PoSetTxMode(3, 1), 1);
        EXPECT_EQ(PoGetTxMode(3), 1);
        EXPECT_EQ(StoredSetting(Layout::kPerPort, kPlainAdapter, 3, live, "TxMode"), 1u);
        EXPECT_EQ(StoredSetting(Layout::kPerPort, kPlainAdapter, 3, hidden, "TxMode"), 0u);
        const auto sent = simwin::Requests(AdapterPath(kPlainAdapter));
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(ChannelFirst(sent[0]).channel, 1) << "the live port's channel";
    }
}

// The code a failing change reports is set after the channel is closed, so
// a close that changes the thread's code cannot replace it.
TEST_F(ChangeCalls, RegistryFailureCodeOutlivesTheChannelClose) {
    AdapterWithCom7(kPlainAdapter, "TxMode", 0);
    simwin::FailAt("RegSetValueExA", 1);
    simwin::FailAt("CloseHandle", 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(PoSetTxMode(7, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED)) << "after the rollback";

    simwin::FailAt("CloseHandle", 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(PoSetInterface(7, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED)) << "no old value";
    EXPECT_TRUE(simwin::GetOutstanding().Empty());
}

}  // namespace
}  // namespace change_test
