// Device interfaces, their detail (device path) and the hardware key.
#include <cstddef>
#include <vector>

#include "sim_test.h"

using namespace simwin;

namespace {

class InterfaceTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        AddDevice("ADPT\\ONE");
        AddInterface("ADPT\\ONE", kComPort, "path-one-a");
        AddInterface("ADPT\\ONE", kComPort, "path-one-b");
        AddDevice("ADPT\\TWO");
        AddInterface("ADPT\\TWO", kComPort, "path-two");
        list_ = SetupDiGetClassDevsA(&kComPort, nullptr, nullptr, 0x12);
        ASSERT_TRUE(SetupDiEnumDeviceInfo(list_, 0, &one_));
    }
    void TearDown() override { SetupDiDestroyDeviceInfoList(list_); }

    HDEVINFO list_ = nullptr;
    SP_DEVINFO_DATA one_ = DeviceRecord();
    SP_DEVICE_INTERFACE_DATA ifd_ = InterfaceRecord();
};

TEST_F(InterfaceTest, EnumeratesPerDeviceOrAcrossTheList) {
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(list_, &one_, &kComPort, 1, &ifd_));
    EXPECT_EQ(ifd_.Flags, DWORD(SPINT_ACTIVE));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list_, &one_, &kComPort, 2, &ifd_));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list_, &one_, &kPorts, 0, &ifd_));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(list_, nullptr, &kComPort, 2, &ifd_));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list_, nullptr, &kComPort, 3, &ifd_));

    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list_, &one_, nullptr, 0, &ifd_));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SP_DEVICE_INTERFACE_DATA small = InterfaceRecord(28);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list_, &one_, &kComPort, 0, &small));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
}

TEST_F(InterfaceTest, DetailTwoCallPattern) {
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(list_, nullptr, &kComPort, 2, &ifd_));
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(list_, &ifd_, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    const DWORD offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    EXPECT_EQ(required, offset + sizeof("path-two"));

    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    detail->cbSize = 5;  // the 32-bit size is wrong in this process
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(list_, &ifd_, detail, required, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(list_, &ifd_, detail, required - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(list_, &ifd_, nullptr, required, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));

    SP_DEVINFO_DATA owner = DeviceRecord();
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(list_, &ifd_, detail, required, nullptr, &owner));
    EXPECT_STREQ(detail->DevicePath, "path-two");
    EXPECT_EQ(owner.DevInst, DevInstOf("ADPT\\TWO"));
}

TEST_F(InterfaceTest, HardwareKeyOpensWithAccessChecks) {
    auto open = [&](REGSAM access) {
        return SetupDiOpenDevRegKey(list_, &one_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, access);
    };
    const HKEY failed = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(KEY_READ), failed);
    EXPECT_EQ(GetLastError(), ERROR_KEY_DOES_NOT_EXIST);

    SetValue(HardwareKeyPath("ADPT\\ONE"), "PortName", REG_SZ, Utf16z("COM3"));
    RestrictKey(HardwareKeyPath("adpt\\one"), KEY_READ);
    EXPECT_EQ(open(KEY_WRITE), failed);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    HKEY key = open(KEY_READ);
    ASSERT_NE(key, failed);
    EXPECT_EQ(GetOutstanding().keys, 1);
    WCHAR name[8];
    DWORD size = sizeof name;
    ASSERT_EQ(
        RegQueryValueExW(key, u"PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"COM3");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(GetOutstanding().keys, 0);
}

}  // namespace
