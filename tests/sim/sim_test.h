// Shared setup for the simulator's tests: a fresh machine per test, and
// small helpers that turn the Win32 out-parameter style into values.
#ifndef TESTS_SIM_SIM_TEST_H
#define TESTS_SIM_SIM_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simwin/machine.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { simwin::Reset(); }

    static constexpr GUID kPorts = simwin::kPortsClass;
    static constexpr GUID kComPort = simwin::kComPortInterface;

    // Records with cbSize set (to this process's size unless given).
    static SP_DEVINFO_DATA DeviceRecord(DWORD cbSize = sizeof(SP_DEVINFO_DATA)) {
        SP_DEVINFO_DATA d{};
        d.cbSize = cbSize;
        return d;
    }
    static SP_DEVICE_INTERFACE_DATA InterfaceRecord(
        DWORD cbSize = sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SP_DEVICE_INTERFACE_DATA d{};
        d.cbSize = cbSize;
        return d;
    }

    static HDEVINFO PortsList() {
        return SetupDiGetClassDevsA(&kPorts, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }

    // Instance IDs of every member of the list, in enumeration order.
    static std::vector<std::string> Members(HDEVINFO list) {
        std::vector<std::string> ids;
        SP_DEVINFO_DATA d = DeviceRecord();
        for (DWORD i = 0; SetupDiEnumDeviceInfo(list, i, &d); ++i) {
            char id[200];
            EXPECT_EQ(CM_Get_Device_IDA(d.DevInst, id, sizeof id, 0), CR_SUCCESS);
            ids.push_back(id);
        }
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
        return ids;
    }
};

#endif
