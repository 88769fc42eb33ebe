// Builds simulated machines with serial adapters and their COM ports, and
// reads back what the change calls stored and sent.
#ifndef TESTS_CHANGE_CHANGE_RIG_H
#define TESTS_CHANGE_CHANGE_RIG_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simwin/machine.h"

namespace change_test {

// Adapter instance IDs by family and capability code.
inline const std::string kTovelserAdapter = "USB\\VID_1A2B&PID_1131\\6&1";  // capability 0x30
inline const std::string kPlainAdapter = "USB\\VID_1A2B&PID_2201\\6&2";     // capability 0x00
inline const std::string kModeZeroOnlyAdapter = "USB\\VID_1A2B&PID_2211\\6&3";
inline const std::string kNoModeZeroAdapter = "USB\\VID_1A2B&PID_2231\\6&4";

enum class Layout { kSharedTable, kPerPort };
const char* LayoutName(Layout layout);

// The switch key of the driver that serves `adapterId`.
std::string SwitchKeyOf(const std::string& adapterId);

// Device path of an adapter added by AddAdapter.
std::string AdapterPath(const std::string& adapterId);

// An adapter node with a ports-class interface (unless `withInterface` is
// false), whose driver stores in `layout`.
void AddAdapter(const std::string& adapterId, Layout layout, bool withInterface = true);

// A COM-port node under the adapter; returns its instance ID.
std::string AddPort(const std::string& adapterId, const std::string& friendlyName);

// The setting of `com` (carried by node `portId`) as the layout stores it;
// shared tables are created with "no value" for every other port.
void StoreSetting(Layout layout, const std::string& adapterId, int com, const std::string& portId,
                  const std::string& name, std::uint8_t value);
// nullopt when no value is stored.
std::optional<std::uint32_t> StoredSetting(Layout layout, const std::string& adapterId, int com,
                                           const std::string& portId, const std::string& name);

// The two fields of a request record in layout B (channel, value) or A.
struct RecordFields {
    std::int32_t channel;
    std::int32_t value;
};
RecordFields ChannelFirst(const simwin::Request& request);
RecordFields ValueFirst(const simwin::Request& request);

// Each test starts on an empty machine and must leave nothing open.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { simwin::Reset(); }
    void TearDown() override {
        const simwin::Outstanding left = simwin::GetOutstanding();
        EXPECT_TRUE(left.Empty()) << simwin::Describe(left);
    }
};

// The change calls set only these codes; on their other failure paths the
// code is whatever the platform calls on the way left.
inline bool IsChangeCallCode(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_REGISTRY_IO_FAILED;
}
#define EXPECT_NO_CODE_OF_ITS_OWN() EXPECT_FALSE(::change_test::IsChangeCallCode(GetLastError()))

}  // namespace change_test

#endif
