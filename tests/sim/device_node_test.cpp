// Friendly names and the configuration-manager calls on device nodes.
#include <cstring>

#include "sim_test.h"

using namespace simwin;

namespace {

class DeviceNodeTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddDevice("USB\\HUB");
        AddDevice("ADPT\\PORT", "USB\\HUB");
        AddInterface("ADPT\\PORT", kPorts, "port");
        list_ = PortsList();
        ASSERT_TRUE(SetupDiEnumDeviceInfo(list_, 0, &port_));
    }
    void TearDown() override { SetupDiDestroyDeviceInfoList(list_); }

    BOOL ReadName(BYTE* buf, DWORD size, DWORD* required) {
        DWORD type = 0;
        return SetupDiGetDeviceRegistryPropertyA(list_, &port_, SPDRP_FRIENDLYNAME, &type, buf,
                                                 size, required);
    }

    HDEVINFO list_ = nullptr;
    SP_DEVINFO_DATA port_ = DeviceRecord();
};

TEST_F(DeviceNodeTest, FriendlyNameBufferRules) {
    BYTE buf[16];
    DWORD required = 0;
    EXPECT_FALSE(ReadName(buf, sizeof buf, &required));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));

    SetFriendlyName("ADPT\\PORT", "COM7");
    EXPECT_FALSE(ReadName(buf, 4, &required));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, 5u);
    ASSERT_TRUE(ReadName(buf, sizeof buf, &required));
    EXPECT_STREQ(reinterpret_cast<char*>(buf), "COM7");

    // Stored without a terminator, it comes back without one.
    SetFriendlyName("ADPT\\PORT", Ascii("COM8", false));
    std::memset(buf, 'x', sizeof buf);
    ASSERT_TRUE(ReadName(buf, sizeof buf, &required));
    EXPECT_EQ(required, 4u);
    EXPECT_EQ(buf[4], 'x');

    DWORD type;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(list_, &port_, SPDRP_DEVICEDESC, &type, buf,
                                                   sizeof buf, &required));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

TEST_F(DeviceNodeTest, StatusParentAndIdDoNotTouchLastError) {
    SetLastError(1234);
    ULONG status = 0, problem = 99;
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, port_.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status, ULONG(DN_DRIVER_LOADED | DN_STARTED));
    EXPECT_EQ(problem, 0u);
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, port_.DevInst, 1), CR_INVALID_FLAG);
    EXPECT_EQ(CM_Get_DevNode_Status(nullptr, &problem, port_.DevInst, 0), CR_INVALID_POINTER);
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, 0xBADBAD, 0), CR_NO_SUCH_DEVNODE);

    DEVINST parent = 0;
    ASSERT_EQ(CM_Get_Parent(&parent, port_.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(parent, DevInstOf("USB\\HUB"));
    EXPECT_EQ(CM_Get_Parent(&parent, DevInstOf("USB\\HUB"), 0), CR_NO_SUCH_DEVNODE);

    char id[9];  // "USB\\HUB" needs 8
    EXPECT_EQ(CM_Get_Device_IDA(parent, id, 7, 0), CR_BUFFER_SMALL);
    ASSERT_EQ(CM_Get_Device_IDA(parent, id, 8, 0), CR_SUCCESS);
    EXPECT_STREQ(id, "USB\\HUB");
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(DeviceNodeTest, StatusFollowsTheNode) {
    SetStatus("ADPT\\PORT", DN_HAS_PROBLEM);
    ULONG status = 0, problem = 0;
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, port_.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status, ULONG(DN_HAS_PROBLEM));
    SetPresent("ADPT\\PORT", false);
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, port_.DevInst, 0), CR_NO_SUCH_DEVNODE);
}

}  // namespace
