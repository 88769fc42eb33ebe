// The friendly-name and instance-ID parsers, on the names and IDs that
// drivers and buses actually produce and on the malformed ones around them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "port_identity.h"

namespace portopt {
namespace {

struct NameCase {
    std::string_view name;
    int comNumber;
    int channel;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << '"' << c.name << '"'; }

class FriendlyName : public testing::TestWithParam<NameCase> {};

TEST_P(FriendlyName, GivesComNumberAndChannel) {
    const NameCase& c = GetParam();
    int channel = 12345;
    EXPECT_EQ(ParseFriendlyName(c.name, channel), c.comNumber) << c.name;
    EXPECT_EQ(channel, c.channel) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FriendlyName,
    testing::Values(
        // Single-port and multi-port adapters.
        NameCase{"Serial Port (COM12)", 12, -1}, NameCase{"Adapter Port 2 (COM7)", 7, 1},
        NameCase{"COMBO Port 3 (COM4)", 4, 2}, NameCase{"COM007", 7, -1},
        NameCase{"Port 4 (COM9999)", 9999, 3}, NameCase{"Port 9999 (COM1)", 1, 9998},
        // Port 0 has no channel, but the COM number stands.
        NameCase{"Port 0 (COM3)", 3, -1},
        // Only the last occurrence of each token counts.
        NameCase{"COM12345 (COM3)", 3, -1}, NameCase{"COM3 COMBO", 0, -1},
        NameCase{"Port 2 Port A (COM5)", 5, -1}, NameCase{"COMPANY COM8", 8, -1},
        NameCase{"COMCOM6", 6, -1}, NameCase{"Port 12345 Port 2 (COM5)", 5, 1},
        // A last "COM0" is a number too, and no port has it; the last "Port "
        // number is still read (an input the fuzzer kept).
        NameCase{"Adapter Port 2690 (COM4) Port 4 (COM0)", 0, 3},
        // Too many digits spoil the whole name.
        NameCase{"Port 1 (COM12345)", 0, -1}, NameCase{"Port 12345 (COM5)", 0, -1},
        // Case-sensitive tokens; "Port" needs its space.
        NameCase{"com5", 0, -1}, NameCase{"port 2 (COM5)", 5, -1}, NameCase{"Port2 (COM5)", 5, -1},
        NameCase{"", 0, -1}, NameCase{"COM", 0, -1}, NameCase{"Port 3", 0, -1}));

TEST(FriendlyNameBounds, StopsAtTheViewEvenWithoutTerminator) {
    const char raw[] = {'C', 'O', 'M', '4', '2'};  // no NUL
    int channel = 0;
    EXPECT_EQ(ParseFriendlyName(std::string_view(raw, 4), channel), 4);
    EXPECT_EQ(channel, -1);
}

struct IdCase {
    std::string_view id;
    std::uint32_t identity;
};

void PrintTo(const IdCase& c, std::ostream* out) { *out << '"' << c.id << '"'; }

class InstanceId : public testing::TestWithParam<IdCase> {};

TEST_P(InstanceId, GivesAdapterIdentity) {
    EXPECT_EQ(ParseInstanceId(GetParam().id), GetParam().identity) << GetParam().id;
}

INSTANTIATE_TEST_SUITE_P(
    Ids, InstanceId,
    testing::Values(IdCase{"USB\\VID_1A2B&PID_1131\\6&12345&0&1", 0x1A2B1131u},
                    IdCase{"PCI\\VEN_10B5&DEV_9050&SUBSYS_1234\\3&1", 0x10B59050u},
                    // Hex digits in either case; keys only in capitals.
                    IdCase{"USB\\VID_abcd&PID_11a0", 0xABCD11A0u},
                    IdCase{"USB\\vid_1A2B&PID_1131", 0},
                    IdCase{"USB\\VID_1A2B&pid_1131", 0x1A2B0000u},
                    // No product key five characters after the vendor digits.
                    IdCase{"USB\\VID_1A2B&REV_0100", 0x1A2B0000u},
                    IdCase{"USB\\VID_1A2B", 0x1A2B0000u},
                    IdCase{"USB\\VID_12&PID_3456", 0x00120000u},
                    // The scan stops at the first vendor key.
                    IdCase{"USB\\VID_0001&XXX_0000&VID_0002&PID_0003", 0x00010000u},
                    // Short and unreadable numbers.
                    IdCase{"USB\\VID_1A2B&PID_7", 0x1A2B0007u}, IdCase{"USB\\VID_ZZZZ&PID_0001", 1},
                    IdCase{"USB\\VID_", 0}, IdCase{"USB\\VID_1A2B&PID_", 0x1A2B0000u},
                    // Other buses and malformed prefixes.
                    IdCase{"ROOT\\PORTS\\0000", 0}, IdCase{"usb\\VID_1A2B&PID_1131", 0},
                    IdCase{"USB", 0}, IdCase{"", 0}, IdCase{"PCI\\VID_1A2B&PID_1131", 0}));

TEST(InstanceIdBounds, ReadsNoDigitPastTheView) {
    // The digits after the view's end must not be read.
    const std::string id = "USB\\VID_1A2B&PID_1131";
    EXPECT_EQ(ParseInstanceId(std::string_view(id.data(), id.size() - 2)), 0x1A2B0011u);
}

TEST(ProductRules, FamilyAndCapability) {
    EXPECT_TRUE(IsTovelserFamily(0x1131));
    EXPECT_TRUE(IsTovelserFamily(0x11FF));
    EXPECT_FALSE(IsTovelserFamily(0x1031));
    EXPECT_FALSE(IsTovelserFamily(kNoMatchingPort));
    EXPECT_FALSE(IsTovelserFamily(kNoDeviceLists));
    EXPECT_EQ(CapabilityCode(0x1131), 0x30);
    EXPECT_EQ(CapabilityCode(kNoMatchingPort), 0xF0);
    EXPECT_EQ(CapabilityCode(kNoDeviceLists), 0);
}

}  // namespace
}  // namespace portopt
