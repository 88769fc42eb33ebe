// Platform failures: the list that cannot be built, and device records
// that fail to enumerate.
#include "lister_test_support.h"
#include "port_scan.h"

namespace comlist_test {
namespace {

using ::testing::ElementsAre;
constexpr int kLimit = comlist::kMaxConsecutiveDeviceFailures;

TEST_F(ListerTest, ListThatCannotBeBuiltIsReportedOnStandardOutput) {
    AddPort("USB\\A\\1", "COM3");
    simwin::FailAt("SetupDiGetClassDevsW", 1);
    NameBuffers buffers(1);
    ::testing::internal::CaptureStdout();
    const Listing failed = List(buffers);
    const std::string failedOutput = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(failedOutput, "SetupDiGetClassDevs failed.\n");
    EXPECT_EQ(failed.result, 0);
    EXPECT_EQ(failed.count, 0);
    EXPECT_TRUE(buffers.Untouched(0));

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(List(buffers).count, 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// A run of failing records shorter than the limit is skipped; a good record
// between two such runs starts the count again, even when the two runs
// together are longer than the limit.
TEST_F(ListerTest, FailingDeviceRecordsAreSkippedBelowTheLimit) {
    const struct {
        const char* what;
        std::vector<int> runs;  // failing records between good ones
    } cases[] = {{"one run", {kLimit - 1}}, {"two runs", {kLimit - 1, kLimit - 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        simwin::Reset();
        int devices = 1;
        std::vector<std::u16string> expected{U16("COM1")};
        for (int failing : c.runs) {
            for (int call = devices + 1; call <= devices + failing; ++call)
                simwin::FailAt("SetupDiEnumDeviceInfo", call, ERROR_INVALID_PARAMETER);
            devices += failing + 1;
            expected.push_back(U16("COM" + std::to_string(devices)));
        }
        for (int i = 0; i < devices; ++i)
            AddPort("USB\\P\\" + std::to_string(1000 + i), "COM" + std::to_string(i + 1));
        NameBuffers buffers(devices);
        EXPECT_EQ(List(buffers).names, expected);
    }
}

TEST_F(ListerTest, PersistentlyFailingEnumerationEndsTheScan) {
    AddPort("USB\\A\\1", "COM3");
    AddPort("USB\\B\\1", "COM4");
    for (int call = 2; call <= kLimit + 20; ++call)
        simwin::FailAt("SetupDiEnumDeviceInfo", call, ERROR_INVALID_HANDLE);
    NameBuffers buffers(2);
    EXPECT_THAT(List(buffers).names, ElementsAre(U16("COM3")));
    EXPECT_EQ(simwin::Calls("SetupDiEnumDeviceInfo"), 1 + kLimit);
}

TEST_F(ListerTest, FailingInterfaceEnumerationSkipsOnlyThatDevice) {
    AddPort("USB\\A\\1", "COM3");
    AddPort("USB\\B\\1", "COM4");
    simwin::FailAt("SetupDiEnumDeviceInterfaces", 1);
    NameBuffers buffers(2);
    EXPECT_THAT(List(buffers).names, ElementsAre(U16("COM4")));
}

}  // namespace
}  // namespace comlist_test
