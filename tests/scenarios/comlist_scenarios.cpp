// Listing COM ports through the exported calls, on either backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "last_error.h"
#include "machine_fixture.h"

namespace {

using fixture::NameUnit;
constexpr NameUnit kUntouched = 0xCCCC;

class ComlistScenario : public ::testing::Test {
protected:
    void SetUp() override { machine_ = fixture::MakeMachineFixture(); }
    void TearDown() override { EXPECT_EQ(machine_->Outstanding(), ""); }

    // Lists into `entries` fresh buffers; the names up to the count.
    std::vector<std::string> List(std::size_t entries) {
        count_ = -7;
        EXPECT_EQ(machine_->Comlist().EnumCOMPorts(FreshBuffers(entries), &count_), 0);
        return Names(count_);
    }
    // The bounded call with `capacity` of `entries` fresh buffers; the
    // names it wrote.
    std::vector<std::string> ListBounded(std::size_t entries, int capacity) {
        count_ = -7;
        result_ = machine_->Comlist().EnumCOMPortsEx(FreshBuffers(entries), capacity, &count_);
        error_ = fixture::LastError();
        return Names(std::min(count_, capacity));
    }
    NameUnit** FreshBuffers(std::size_t entries) {
        buffers_.assign(entries, std::vector<NameUnit>(fixture::kNameUnits, kUntouched));
        pointers_.clear();
        for (auto& b : buffers_) pointers_.push_back(b.data());
        return pointers_.data();
    }
    std::vector<std::string> Names(int written) const {
        std::vector<std::string> names;
        for (int i = 0; i < written; ++i) {
            const auto& b = buffers_.at(i);
            names.emplace_back(b.begin(), std::find(b.begin(), b.end(), NameUnit(0)));
        }
        return names;
    }
    bool Untouched(std::size_t i) const {
        return std::all_of(buffers_.at(i).begin(), buffers_.at(i).end(),
                           [](NameUnit u) { return u == kUntouched; });
    }

    std::unique_ptr<fixture::MachineFixture> machine_;
    std::vector<std::vector<NameUnit>> buffers_;
    std::vector<NameUnit*> pointers_;
    int count_ = 0;
    int result_ = -1;
    std::uint32_t error_ = 0;
};

TEST_F(ComlistScenario, NoComPortsListsNothing) {
    EXPECT_TRUE(List(2).empty());
    EXPECT_EQ(count_, 0);
    EXPECT_TRUE(Untouched(0));
}

TEST_F(ComlistScenario, ListsNamedPortsInOrderAndLeavesTheRestAlone) {
    machine_->AddPort("USB\\VID_0403&PID_6011\\A1", "", "Serial Port 1 (COM3)", "COM3");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A2", "", "Serial Port 2 (COM4)");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A3", "", "Serial Port 3 (COM12)", "COM12");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A4", "", "Serial Port 4 (COM13)", "COM13");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A5", "", "Serial Port 5 (COM14)");
    // 260 characters and a terminator do not fit the 520-byte read.
    fixture::Bytes tooLong(522, 0);
    for (std::size_t i = 0; i < 520; i += 2) tooLong[i] = 'X';
    machine_->SetHardwareValue("USB\\VID_0403&PID_6011\\A5", "PortName", 1, tooLong);

    EXPECT_EQ(List(5), (std::vector<std::string>{"COM3", "COM12", "COM13"}));
    EXPECT_TRUE(Untouched(3));
    EXPECT_TRUE(Untouched(4));
}

// The bounded call fills what its capacity allows and says how many
// buffers the whole listing needs.
TEST_F(ComlistScenario, BoundedListingFillsItsCapacityAndCountsEveryPort) {
    machine_->AddPort("USB\\VID_0403&PID_6011\\A1", "", "Serial Port 1 (COM3)", "COM3");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A2", "", "Serial Port 2 (COM4)", "COM4");
    machine_->AddPort("USB\\VID_0403&PID_6011\\A3", "", "Serial Port 3 (COM12)", "COM12");
    const std::vector<std::string> all{"COM3", "COM4", "COM12"};
    const struct {
        int capacity;
        int result;
        std::uint32_t error;  // 0: not looked at
    } cases[] = {{4, 1, 0}, {3, 1, 0}, {2, 0, 122}, {0, 0, 122}, {-1, 0, 87}};
    for (const auto& c : cases) {
        SCOPED_TRACE("capacity " + std::to_string(c.capacity));
        const std::vector<std::string> written = ListBounded(4, c.capacity);
        EXPECT_EQ(result_, c.result);
        if (c.error != 0) {
            EXPECT_EQ(error_, c.error);
        }
        // Refused arguments leave the count as it was.
        EXPECT_EQ(count_, c.error == 87 ? -7 : 3);
        const std::size_t filled =
            c.error == 87 ? 0 : std::min<std::size_t>(3, std::max(c.capacity, 0));
        EXPECT_EQ(written, std::vector<std::string>(all.begin(), all.begin() + filled));
        for (std::size_t i = filled; i < 4; ++i) EXPECT_TRUE(Untouched(i)) << "entry " << i;
    }
}

}  // namespace
