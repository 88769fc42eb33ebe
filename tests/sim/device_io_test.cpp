// Opening device paths and sending control requests to the drivers.
#include "sim_test.h"

using namespace simwin;

namespace {

constexpr const char* kPath = "\\\\?\\usb#vid_1&pid_2#a#{ports}";

class DeviceIoTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddDevice("USB\\VID_1&PID_2\\A");
        AddInterface("USB\\VID_1&PID_2\\A", kPorts, kPath);
    }
    static HANDLE Open(const char* path, DWORD share = 0) {
        return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static BOOL Send(HANDLE h, DWORD code, std::uint8_t first) {
        std::uint8_t record[8] = {first};
        DWORD returned = 99;
        return DeviceIoControl(h, code, record, sizeof record, nullptr, 0, &returned, nullptr);
    }
};

TEST_F(DeviceIoTest, OpensExposedPathsWithoutSharing) {
    EXPECT_EQ(Open("\\\\?\\nothing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    HANDLE first = Open("\\\\?\\USB#VID_1&PID_2#A#{PORTS}");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(kPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(kPath, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetOutstanding().handles, 1);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    SetUnopenable(kPath, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(kPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(DeviceIoTest, LogsEveryRequestAndRejectsOnDemand) {
    HANDLE h = Open(kPath);
    RejectRequests(kPath, ERROR_INVALID_PARAMETER, 1);
    EXPECT_TRUE(Send(h, 0x04042018, 1));
    EXPECT_FALSE(Send(h, 0x0404201C, 2));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    RejectRequests(kPath, 0);
    EXPECT_TRUE(Send(h, 0x04042020, 3));

    auto all = Requests(kPath);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].code, 0x0404201Cu);
    EXPECT_EQ(all[1].input, (Bytes{2, 0, 0, 0, 0, 0, 0, 0}));
    auto accepted = AcceptedRequests(kPath);
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[1].code, 0x04042020u);
    CloseHandle(h);
}

TEST_F(DeviceIoTest, RefusesBadHandlesAndMissingCounter) {
    std::uint8_t record[8] = {};
    DWORD returned;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_FALSE(DeviceIoControl(mutex, 1, record, 8, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    HANDLE h = Open(kPath);
    EXPECT_FALSE(DeviceIoControl(h, 1, record, 8, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(Requests(kPath).empty());
    CloseHandle(h);
    CloseHandle(mutex);
}

}  // namespace
