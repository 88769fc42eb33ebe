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

TEST_F(ListerTest, FailingDeviceRecordsAreSkippedBelowTheLimit) {
    for (int i = 0; i <= kLimit; ++i)
        AddPort("USB\\P\\" + std::to_string(1000 + i), "COM" + std::to_string(i + 1));
    for (int call = 2; call <= kLimit; ++call)
        simwin::FailAt("SetupDiEnumDeviceInfo", call, ERROR_INVALID_PARAMETER);
    NameBuffers buffers(kLimit + 1);
    EXPECT_THAT(List(buffers).names,
                ElementsAre(U16("COM1"), U16("COM" + std::to_string(kLimit + 1))));
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
