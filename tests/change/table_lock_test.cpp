// Shared-table updates of one driver family are serialised by a named
// mutex, so simultaneous changes to different ports all survive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "change_rig.h"
#include "portopt.h"
#include "table_lock.h"

namespace change_test {
namespace {

constexpr int kPlainProduct = 0x2201;

class TableLockTest : public MachineTest {
protected:
    // One single-port adapter per COM number, so that every change opens
    // its own device; all share the KARBEND transmit-mode table.
    void AdaptersForComs(int count) {
        for (int com = 1; com <= count; ++com) {
            const std::string adapter = "USB\\VID_1A2B&PID_2201\\8&" + std::to_string(com);
            AddAdapter(adapter, Layout::kSharedTable);
            const std::string port = AddPort(adapter, "USB Serial (COM" + std::to_string(com) + ")");
            StoreSetting(Layout::kSharedTable, adapter, com, port, "TxMode", 0);
        }
    }
    static std::uint8_t TableByte(int com) {
        return simwin::GetValue(SwitchKeyOf(kPlainAdapter), "TxMode")->data.at(com - 1);
    }
};

TEST_F(TableLockTest, SimultaneousChangesToOneTableAreAllKept) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 25;
    AdaptersForComs(kThreads);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int com = 1; com <= kThreads; ++com) {
        threads.emplace_back([com, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                if (PoSetTxMode(com, (round + com) % 2) != 1) ++failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    for (int com = 1; com <= kThreads; ++com) {
        EXPECT_EQ(TableByte(com), (kRounds - 1 + com) % 2) << "COM" << com;
    }
}

TEST_F(TableLockTest, TableUpdateWaitsForTheHolder) {
    AdaptersForComs(1);
    std::thread changer;
    {
        const portopt::TableLock held(kPlainProduct);
        ASSERT_TRUE(held.Held());
        changer = std::thread([] { EXPECT_EQ(PoSetTxMode(1, 1), 1); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(TableByte(1), 0) << "stored while another holder had the lock";
    }
    changer.join();
    EXPECT_EQ(TableByte(1), 1);
}

TEST_F(TableLockTest, HungHolderDelaysAnUpdateOnlyForTheWait) {
    std::thread holder;
    std::atomic<bool> release{false};
    holder = std::thread([&] {
        const portopt::TableLock held(kPlainProduct);
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(portopt::TableLock(kPlainProduct, 100).Held());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    release = true;
    holder.join();
}

TEST_F(TableLockTest, FamiliesHaveSeparateLocks) {
    const portopt::TableLock karbend(kPlainProduct);
    std::thread other([] { EXPECT_TRUE(portopt::TableLock(0x1131).Held()); });
    other.join();
}

TEST_F(TableLockTest, RefusedGlobalNameFallsBackToLocal) {
    AdaptersForComs(1);
    simwin::FailAt("CreateMutexA", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(PoSetTxMode(1, 1), 1);
    EXPECT_EQ(simwin::Calls("CreateMutexA"), 2);
    EXPECT_EQ(simwin::Calls("WaitForSingleObject"), 1);
    EXPECT_EQ(TableByte(1), 1);
}

TEST_F(TableLockTest, MutexLeftByADeadOwnerIsTakenOver) {
    AdaptersForComs(1);
    constexpr char kName[] = "Global\\portopt.KARBEND.FixComFunc";
    const platform::MutexHandle keeper(CreateMutexA(nullptr, FALSE, kName));
    ASSERT_TRUE(keeper);
    std::thread([&] {
        const platform::MutexHandle mutex(CreateMutexA(nullptr, FALSE, kName));
        ASSERT_EQ(WaitForSingleObject(mutex.get(), INFINITE), WAIT_OBJECT_0);
    }).join();  // ends owning it
    EXPECT_TRUE(portopt::TableLock(kPlainProduct).Held());
    EXPECT_EQ(PoSetTxMode(1, 1), 1) << "the lock was released after the takeover";
    EXPECT_EQ(TableByte(1), 1);
}

}  // namespace
}  // namespace change_test
