// A fresh simulated machine per test, caller-side name arrays that show
// which units the lister wrote, and a check that every call released all
// it acquired.
#ifndef TESTS_COMLIST_LISTER_TEST_SUPPORT_H
#define TESTS_COMLIST_LISTER_TEST_SUPPORT_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comlist.h"
#include "simwin/machine.h"

namespace comlist_test {

// What the caller's buffers hold before the call.
constexpr comlist_char kUntouched = 0xCCCC;

// `entries` name buffers of 260 units, all kUntouched.
class NameBuffers {
public:
    explicit NameBuffers(std::size_t entries)
        : buffers_(entries, std::vector<comlist_char>(COMLIST_NAME_UNITS, kUntouched)) {
        for (auto& b : buffers_) pointers_.push_back(b.data());
    }
    comlist_char** array() { return pointers_.data(); }
    std::vector<comlist_char*>& pointers() { return pointers_; }
    // Entry i up to its terminator (all 260 units when it has none).
    std::u16string Name(std::size_t i) const;
    bool Untouched(std::size_t i) const;

private:
    std::vector<std::vector<comlist_char>> buffers_;
    std::vector<comlist_char*> pointers_;
};

std::u16string U16(const std::string& ascii);

// Names 0 .. count-1 after one call; count starts at -7 to show it is set.
struct Listing {
    int result = -1;
    int count = -7;
    std::vector<std::u16string> names;
};
Listing List(NameBuffers& buffers);

class ListerTest : public ::testing::Test {
protected:
    void SetUp() override { simwin::Reset(); }
    void TearDown() override {
        const simwin::Outstanding left = simwin::GetOutstanding();
        EXPECT_TRUE(left.Empty()) << simwin::Describe(left);
    }

    // A device with `interfaces` COM-port interfaces whose hardware key holds
    // "PortName" as `data` of `type`.
    static void AddPort(const std::string& id, const simwin::Bytes& data, DWORD type = REG_SZ,
                        int interfaces = 1);
    static void AddPort(const std::string& id, const std::string& name) {
        AddPort(id, simwin::Utf16z(name));
    }
    // A device with a COM-port interface and no "PortName".
    static void AddUnnamedPort(const std::string& id);
};

}  // namespace comlist_test

#endif
