// Listing COM ports through the exported call, on either backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

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
        buffers_.assign(entries, std::vector<NameUnit>(fixture::kNameUnits, kUntouched));
        std::vector<NameUnit*> pointers;
        for (auto& b : buffers_) pointers.push_back(b.data());
        count_ = -7;
        EXPECT_EQ(machine_->Comlist().EnumCOMPorts(pointers.data(), &count_), 0);
        std::vector<std::string> names;
        for (int i = 0; i < count_; ++i) {
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
    int count_ = 0;
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

}  // namespace
