// How the call treats its caller: null arguments, arrays shorter than the
// port list, and several threads listing at once.
#include <thread>

#include "lister_test_support.h"

namespace comlist_test {
namespace {

using ::testing::ElementsAre;

TEST_F(ListerTest, NullArrayOrCountTouchesNothing) {
    AddPort("USB\\A\\1", "COM3");
    int count = 42;
    EXPECT_EQ(EnumCOMPorts(nullptr, &count), 0);
    EXPECT_EQ(count, 42);
    NameBuffers buffers(1);
    EXPECT_EQ(EnumCOMPorts(buffers.array(), nullptr), 0);
    EXPECT_TRUE(buffers.Untouched(0));
    EXPECT_EQ(simwin::Calls("SetupDiGetClassDevsW"), 0);
}

TEST_F(ListerTest, NullEntryEndsTheArray) {
    AddPort("USB\\A\\1", "COM3");
    AddPort("USB\\B\\1", "COM4");
    AddPort("USB\\C\\1", "COM5");
    NameBuffers buffers(3);
    buffers.pointers()[2] = nullptr;  // room for two names
    EXPECT_THAT(List(buffers).names, ElementsAre(U16("COM3"), U16("COM4")));
    EXPECT_TRUE(buffers.Untouched(2));

    buffers.pointers()[0] = nullptr;
    EXPECT_EQ(List(buffers).count, 0);
}

TEST_F(ListerTest, ThreadsListIndependently) {
    for (int i = 0; i < 5; ++i)
        AddPort("USB\\P\\" + std::to_string(i), "COM" + std::to_string(i + 1));
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int& misses : mismatches) {
        threads.emplace_back([&misses] {
            for (int round = 0; round < 50; ++round) {
                NameBuffers buffers(6);
                const Listing listing = List(buffers);
                if (listing.count != 5 || listing.names.back() != U16("COM5") ||
                    !buffers.Untouched(5))
                    ++misses;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_THAT(mismatches, ElementsAre(0, 0, 0, 0));
}

}  // namespace
}  // namespace comlist_test
