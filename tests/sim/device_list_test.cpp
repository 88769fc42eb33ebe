#include "sim_test.h"

using namespace simwin;
using Ids = std::vector<std::string>;

namespace {

class DeviceListTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddDevice("USB\\VID_1&PID_2\\A");
        AddInterface("USB\\VID_1&PID_2\\A", kPorts, "\\\\?\\usb#a");
        AddDevice("ADPTBUS\\P1", "USB\\VID_1&PID_2\\A");
        AddInterface("ADPTBUS\\P1", kComPort, "\\\\?\\adptbus#p1");
        AddInterface("ADPTBUS\\P1", kPorts, "\\\\?\\adptbus#p1#ports");
        AddDevice("ROOT\\NOINTERFACE");
    }
};

TEST_F(DeviceListTest, SelectsByInterfaceClassInOrderAdded) {
    HDEVINFO ports = PortsList();
    EXPECT_EQ(Members(ports), (Ids{"USB\\VID_1&PID_2\\A", "ADPTBUS\\P1"}));
    HDEVINFO com = SetupDiGetClassDevsA(&kComPort, nullptr, nullptr, 0x12);
    EXPECT_EQ(Members(com), (Ids{"ADPTBUS\\P1"}));
    HDEVINFO any = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, 0x16);
    EXPECT_EQ(Members(any), (Ids{"USB\\VID_1&PID_2\\A", "ADPTBUS\\P1"}));
    for (HDEVINFO list : {ports, com, any}) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
        EXPECT_EQ(GetLastError(), 0u) << "a successful release clears the code";
    }
    EXPECT_TRUE(GetOutstanding().Empty());
}

TEST_F(DeviceListTest, PresentFilterAndSnapshot) {
    SetPresent("USB\\VID_1&PID_2\\A", false);
    HDEVINFO present = PortsList();
    HDEVINFO all = SetupDiGetClassDevsA(&kPorts, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    AddDevice("LATER");
    AddInterface("LATER", kPorts, "later");
    EXPECT_EQ(Members(present), (Ids{"ADPTBUS\\P1"}));
    EXPECT_EQ(Members(all), (Ids{"USB\\VID_1&PID_2\\A", "ADPTBUS\\P1"}));
    SetupDiDestroyDeviceInfoList(present);
    SetupDiDestroyDeviceInfoList(all);
}

TEST_F(DeviceListTest, RejectsBadArguments) {
    SetLastError(0);
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, 0x12), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    HDEVINFO list = PortsList();
    SP_DEVINFO_DATA d = DeviceRecord(28);  // the 32-bit size is wrong in this process
    EXPECT_FALSE(SetupDiEnumDeviceInfo(list, 0, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));

    // A record is only good with the list that filled it.
    HDEVINFO other = PortsList();
    d = DeviceRecord();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(other, 0, &d));
    char id[64];
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(list, &d, id, sizeof id, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetupDiDestroyDeviceInfoList(other);
    SetupDiDestroyDeviceInfoList(list);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(list, 0, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(list));
}

TEST_F(DeviceListTest, OpenDeviceInfoAddsOnceByCaseInsensitiveId) {
    HDEVINFO list = SetupDiGetClassDevsA(&kComPort, nullptr, nullptr, 0x12);
    SP_DEVINFO_DATA first = DeviceRecord(), again = DeviceRecord();
    ASSERT_TRUE(SetupDiOpenDeviceInfoA(list, "usb\\vid_1&pid_2\\a", nullptr, 0, &first));
    ASSERT_TRUE(SetupDiOpenDeviceInfoA(list, "USB\\VID_1&PID_2\\A", nullptr, 0, &again));
    EXPECT_EQ(first.DevInst, DevInstOf("USB\\VID_1&PID_2\\A"));
    EXPECT_EQ(first.Reserved, again.Reserved);
    EXPECT_EQ(Members(list), (Ids{"ADPTBUS\\P1", "USB\\VID_1&PID_2\\A"}));
    EXPECT_FALSE(SetupDiOpenDeviceInfoA(list, "USB\\NONE", nullptr, 0, &first));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_DEVINST);
    SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListTest, InstanceIdNeedsRoomForTerminator) {
    HDEVINFO list = PortsList();
    SP_DEVINFO_DATA d = DeviceRecord();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(list, 1, &d));
    char id[11];  // "ADPTBUS\P1" and its terminator
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(list, &d, id, 10, &required));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, 11u);
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(list, &d, id, 11, &required));
    EXPECT_STREQ(id, "ADPTBUS\\P1");
    SetupDiDestroyDeviceInfoList(list);
}

}  // namespace
