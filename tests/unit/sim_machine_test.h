// Shared base of the white-box tests: a fresh simulated machine per test,
// builders for adapters and ports, and the check that every test leaves
// no device list, key or handle open.
#ifndef TESTS_UNIT_SIM_MACHINE_TEST_H
#define TESTS_UNIT_SIM_MACHINE_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "simwin/machine.h"

namespace portopt {

inline constexpr const char* kKarbendKey =
    "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";
inline constexpr const char* kTovelserKey =
    "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc";

// An adapter of the tovelser family (product 0x1131) and one of the other
// family (product 0x2052).
inline constexpr const char* kTovelserAdapter = "USB\\VID_1A2B&PID_1131\\6&1";
inline constexpr const char* kKarbendAdapter = "USB\\VID_1A2B&PID_2052\\6&2";

// A last-error value no call under test sets.  The platform calls a
// library call makes may still replace it, so tests that expect "no code
// of the library's own" check that the code is not the library's.
inline constexpr DWORD kUntouched = 0xC0FFEE;

class SimMachineTest : public testing::Test {
protected:
    void SetUp() override { simwin::Reset(); }
    void TearDown() override {
        const simwin::Outstanding open = simwin::GetOutstanding();
        EXPECT_TRUE(open.Empty()) << simwin::Describe(open);
    }

    static void AddAdapter(const std::string& id) {
        simwin::AddDevice(id);
        simwin::AddInterface(id, simwin::kPortsClass, "\\\\?\\adapter#" + id);
    }

    // A COM port node with a friendly name, a ports-class interface and a
    // hardware key.
    static void AddPort(const std::string& id, const std::string& parent,
                        const std::string& friendlyName) {
        simwin::AddDevice(id, parent);
        simwin::SetFriendlyName(id, friendlyName);
        simwin::AddInterface(id, simwin::kPortsClass, "\\\\?\\port#" + id);
        simwin::CreateKey(simwin::HardwareKeyPath(id));
    }

    static void SetPortValue(const std::string& id, const std::string& name,
                             const simwin::Bytes& data, DWORD type = REG_DWORD) {
        simwin::SetValue(simwin::HardwareKeyPath(id), name, type, data);
    }

    static void SetSwitch(const char* key, std::uint32_t value) {
        simwin::CreateKey(key);
        simwin::SetDword(key, "FixComFunc", value);
    }
};

}  // namespace portopt

#endif
