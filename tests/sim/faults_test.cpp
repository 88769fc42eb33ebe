// Injected faults, call counters, outstanding resources and Reset().
#include "sim_test.h"

using namespace simwin;

namespace {

using FaultsTest = SimTest;

TEST_F(FaultsTest, FailsTheKthCallOnceTheWayTheCallReportsFailure) {
    FailAt("SetupDiGetClassDevsA", 2, ERROR_NOT_ENOUGH_MEMORY);
    HDEVINFO first = PortsList();
    EXPECT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PortsList(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    HDEVINFO third = PortsList();
    EXPECT_NE(third, INVALID_HANDLE_VALUE);

    FailAt("CM_Get_Parent", 1);
    DEVINST parent;
    EXPECT_EQ(CM_Get_Parent(&parent, 1, 0), CR_FAILURE);
    FailAt("RegOpenKeyExA", 1);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &key), ERROR_GEN_FAILURE);
    FailAt("LocalAlloc", 1);
    EXPECT_EQ(LocalAlloc(LPTR, 8), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));

    // A failing release still releases.
    FailAt("SetupDiDestroyDeviceInfoList", 1);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(first));
    EXPECT_EQ(GetOutstanding().lists, 1);
    SetupDiDestroyDeviceInfoList(third);
    EXPECT_TRUE(GetOutstanding().Empty());
}

TEST_F(FaultsTest, CountsCallsInOrderOfFirstUse) {
    SetLastError(5);
    GetLastError();
    void* block = LocalAlloc(LMEM_FIXED, 4);
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &key);
    LocalFree(LocalAlloc(LPTR, 4));
    EXPECT_EQ(Calls("LocalAlloc"), 2);
    EXPECT_EQ(CalledOperations(),
              (std::vector<std::string>{"LocalAlloc", "RegOpenKeyExA", "LocalFree"}));
    EXPECT_EQ(static_cast<std::uint8_t*>(block)[0], 0xCD);

    Outstanding o = GetOutstanding();
    EXPECT_EQ(o.allocations, 1);
    EXPECT_EQ(o.keys, 1);
    EXPECT_NE(Describe(o).find("1 registry key"), std::string::npos);

    Reset();
    EXPECT_TRUE(GetOutstanding().Empty());
    EXPECT_EQ(Calls("LocalAlloc"), 0);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(KeyExists("system\\currentcontrolset"));
}

TEST_F(FaultsTest, LocalFreeOfUnknownBlockFails) {
    int local = 0;
    EXPECT_EQ(LocalFree(&local), &local);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
