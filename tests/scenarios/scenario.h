// The machine most scenarios start from, and how they call the libraries:
// one KARBEND-family adapter carrying COM 7 on its second port, and a
// tovelser-family adapter carrying COM 5 that a scenario adds when needed.
#ifndef TESTS_SCENARIOS_SCENARIO_H
#define TESTS_SCENARIOS_SCENARIO_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "last_error.h"
#include "machine_fixture.h"

namespace scenario {

// A last-error code no call sets: a call that sets none leaves this or
// whatever the platform calls on the way put there.
constexpr std::uint32_t kUntouched = 0xC0FFEE;
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kRegistryIoFailed = 1016;

constexpr const char* kKarbendAdapter = "USB\\VID_1A2B&PID_2052\\6&2";
constexpr const char* kTovelserAdapter = "USB\\VID_1A2B&PID_1131\\6&1";
constexpr const char* kKarbendPort = "USB\\VID_1A2B&PID_2052&MI_01\\7&1";
constexpr const char* kTovelserPort = "USB\\VID_1A2B&PID_1131&MI_01\\7&2";
constexpr int kKarbendCom = 7;
constexpr int kTovelserCom = 5;

class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        fx = fixture::MakeMachineFixture();
        fx->AddAdapter(kKarbendAdapter);
        fx->AddPort(kKarbendPort, kKarbendAdapter, "Adapter Port 2 (COM7)");
    }

    void AddTovelserPort() {
        fx->AddAdapter(kTovelserAdapter);
        fx->AddPort(kTovelserPort, kTovelserAdapter, "Adapter Port 1 (COM5)");
    }

    // One exported call with the last-error code preset to kUntouched; the
    // code it leaves is kept in `error`, and the call must have released
    // everything it acquired.
    template <typename Call, typename... Args>
    int Invoke(Call call, Args... args) {
        fixture::SetLastErrorCode(kUntouched);
        const int result = call(args...);
        error = fixture::LastError();
        EXPECT_EQ(fx->Outstanding(), "") << "after a call on COM " << FirstOf(args...);
        return result;
    }

    std::unique_ptr<fixture::MachineFixture> fx;
    std::uint32_t error = 0;

private:
    template <typename First, typename... Rest>
    static First FirstOf(First first, Rest...) {
        return first;
    }
};

}  // namespace scenario

#endif
