#include <cstring>

#include "sim_test.h"

using namespace simwin;

namespace {

constexpr const char* kKey = "SYSTEM\\CurrentControlSet\\Services\\Drv\\Params";

class RegistryTest : public SimTest {
protected:
    HKEY Open(const char* path, REGSAM access) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key), ERROR_SUCCESS);
        return key;
    }
};

TEST_F(RegistryTest, NamesAreCaseInsensitive) {
    SetDword(kKey, "FixComFunc", 7);
    HKEY key = Open("system\\currentcontrolset\\SERVICES\\drv\\params", KEY_READ);
    DWORD value = 0, size = sizeof value, type = 0;
    ASSERT_EQ(
        RegQueryValueExA(key, "fixcomfunc", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(
        RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_FILE_NOT_FOUND);
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, "Sub", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ShortBufferGetsMoreDataAndTheSize) {
    SetValue(kKey, "Table", REG_BINARY, Bytes(256, 0x11));
    HKEY key = Open(kKey, KEY_READ);
    BYTE buf[300];
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Table", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 256u);
    size = 100;
    EXPECT_EQ(RegQueryValueExA(key, "Table", nullptr, nullptr, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 256u);
    EXPECT_NE(buf[0], 0x11);  // contents undefined, never the data
    EXPECT_EQ(RegQueryValueExA(key, "Table", nullptr, nullptr, buf, nullptr),
              ERROR_INVALID_PARAMETER);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "Table", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 256u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, AccessIsCheckedAtOpenAndUse) {
    SetDword(kKey, "V", 1);
    RestrictKey(kKey, KEY_READ);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_ACCESS_DENIED);
    key = Open(kKey, KEY_READ);
    const BYTE one[4] = {1};
    EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_DWORD, one, 4), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    key = Open("SYSTEM", KEY_SET_VALUE);
    DWORD size = 4;
    BYTE out[4];
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, out, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

// A process that is not elevated says so through its token, and may open
// keys to read them but not to change them, device keys included.
TEST_F(RegistryTest, ProcessThatIsNotElevatedOnlyReads) {
    SetDword(kKey, "V", 1);
    AddDevice("USB\\A\\1");
    AddInterface("USB\\A\\1", kPorts, "\\\\?\\a");
    CreateKey(HardwareKeyPath("USB\\A\\1"));
    for (const bool elevated : {true, false}) {
        SCOPED_TRACE(elevated ? "elevated" : "not elevated");
        SetElevated(elevated);
        HANDLE token = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        TOKEN_ELEVATION elevation{7};
        DWORD size = 0;
        EXPECT_FALSE(GetTokenInformation(token, TokenElevation, &elevation, 2, &size));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(size, sizeof elevation);
        ASSERT_TRUE(
            GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size));
        EXPECT_EQ(elevation.TokenIsElevated, elevated ? 1u : 0u);
        EXPECT_TRUE(CloseHandle(token));

        const LSTATUS change = elevated ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
        for (const REGSAM access :
             {REGSAM(KEY_ALL_ACCESS), REGSAM(KEY_WRITE), REGSAM(KEY_SET_VALUE)}) {
            HKEY key = nullptr;
            EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, access, &key), change) << access;
            if (key) RegCloseKey(key);
        }
        RegCloseKey(Open(kKey, KEY_READ));
        HDEVINFO list = PortsList();
        SP_DEVINFO_DATA device = DeviceRecord();
        ASSERT_TRUE(SetupDiEnumDeviceInfo(list, 0, &device));
        HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_WRITE);
        EXPECT_EQ(key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE), !elevated);
        if (elevated)
            RegCloseKey(key);
        else
            EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        RegCloseKey(SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
        SetupDiDestroyDeviceInfoList(list);
        EXPECT_TRUE(GetOutstanding().Empty()) << Describe(GetOutstanding());
    }
}

TEST_F(RegistryTest, StringsAreStoredAsUtf16AndNarrowedByTheACalls) {
    HKEY key = Open("SYSTEM", KEY_ALL_ACCESS);
    ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>("COM5"), 5),
              ERROR_SUCCESS);
    EXPECT_EQ(GetValue("SYSTEM", "Name")->data, Utf16z("COM5"));

    SetValue("SYSTEM", "Wide", REG_SZ, {'A', 0, 0xE9, 0, 'B', 0});  // no terminator
    char text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(key, "Wide", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(text, 3), "A?B");
    BYTE raw[8];
    size = sizeof raw;
    ASSERT_EQ(RegQueryValueExW(key, u"wide", nullptr, nullptr, raw, &size), ERROR_SUCCESS);
    EXPECT_EQ(Bytes(raw, raw + size), (Bytes{'A', 0, 0xE9, 0, 'B', 0}));
    RegCloseKey(key);
}

}  // namespace
