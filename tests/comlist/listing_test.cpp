// What the lister lists, and what it leaves alone in the caller's buffers.
#include "lister_test_support.h"

namespace comlist_test {
namespace {

using simwin::Bytes;
using ::testing::ElementsAre;

TEST_F(ListerTest, NoComPortsCountsZeroAndTouchesNoBuffer) {
    simwin::AddDevice("USB\\VID_1\\ADAPTER");
    simwin::AddInterface("USB\\VID_1\\ADAPTER", simwin::kPortsClass, "\\\\?\\adapter");
    NameBuffers buffers(2);
    const Listing listing = List(buffers);
    EXPECT_EQ(listing.result, 0);
    EXPECT_EQ(listing.count, 0);
    EXPECT_TRUE(buffers.Untouched(0));
    EXPECT_TRUE(buffers.Untouched(1));
}

TEST_F(ListerTest, ListsEachInterfaceInDeviceOrderWithoutGaps) {
    AddPort("USB\\A\\1", "COM3");
    AddPort("USB\\B\\1", simwin::Utf16z("COM12"), REG_SZ, 2);
    AddUnnamedPort("USB\\C\\1");
    AddPort("USB\\D\\1", "COM1");
    NameBuffers buffers(6);
    const Listing listing = List(buffers);
    EXPECT_EQ(listing.result, 0);
    EXPECT_THAT(listing.names, ElementsAre(U16("COM3"), U16("COM12"), U16("COM12"), U16("COM1")));
    EXPECT_TRUE(buffers.Untouched(4));
    EXPECT_TRUE(buffers.Untouched(5));
    // Only the name and its terminator are written.
    EXPECT_EQ(buffers.pointers()[0][5], kUntouched);
}

// A key or "PortName" that fails for one interface drops only that entry,
// also among the interfaces of one device.
TEST_F(ListerTest, FailingInterfaceDropsOnlyItsOwnEntry) {
    struct Case {
        const char* operation;
        int call;  // 1: COM3's interface; 2 to 4: COM12's three; 5: COM4's
        DWORD error;
        std::vector<std::u16string> names;
    };
    const std::u16string com3 = U16("COM3"), com12 = U16("COM12"), com4 = U16("COM4");
    const Case cases[] = {
        {"SetupDiOpenDevRegKey", 1, ERROR_KEY_DOES_NOT_EXIST, {com12, com12, com12, com4}},
        {"SetupDiOpenDevRegKey", 3, ERROR_KEY_DOES_NOT_EXIST, {com3, com12, com12, com4}},
        {"RegQueryValueExW", 3, ERROR_FILE_NOT_FOUND, {com3, com12, com12, com4}},
        {"RegQueryValueExW", 4, ERROR_MORE_DATA, {com3, com12, com12, com4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.call));
        simwin::Reset();
        AddPort("USB\\A\\1", "COM3");
        AddPort("USB\\B\\1", simwin::Utf16z("COM12"), REG_SZ, 3);
        AddPort("USB\\C\\1", "COM4");
        simwin::FailAt(c.operation, c.call, c.error);
        NameBuffers buffers(5);
        EXPECT_EQ(List(buffers).names, c.names);
        EXPECT_TRUE(buffers.Untouched(4));
        EXPECT_TRUE(simwin::GetOutstanding().Empty());
    }
}

TEST_F(ListerTest, NameMustFitIn520Bytes) {
    const std::string longest(259, 'N');
    AddPort("USB\\A\\1", std::string(260, 'X'));  // 522 bytes with its terminator
    AddPort("USB\\B\\1", longest);                // exactly 520
    NameBuffers buffers(2);
    EXPECT_THAT(List(buffers).names, ElementsAre(U16(longest)));
}

// Values that are not terminated strings yield at most the whole units
// that were read, always terminated within the buffer.
TEST_F(ListerTest, UnterminatedNamesAreCutToTheBytesRead) {
    Bytes bare = simwin::Utf16z("COM5");
    bare.resize(bare.size() - 2);
    Bytes odd = bare;
    odd.push_back('7');
    Bytes full = simwin::Utf16z(std::string(260, 'F'));
    full.resize(520);
    AddPort("USB\\A\\1", bare);
    AddPort("USB\\B\\1", odd);
    AddPort("USB\\C\\1", full);
    AddPort("USB\\D\\1", simwin::Ascii("COM8", false), REG_BINARY);
    AddPort("USB\\E\\1", Bytes{});
    NameBuffers buffers(5);
    const Listing listing = List(buffers);
    EXPECT_THAT(listing.names, ElementsAre(U16("COM5"), U16("COM5"), U16(std::string(259, 'F')),
                                           u"\u4f43\u384d", u""));
}

}  // namespace
}  // namespace comlist_test
