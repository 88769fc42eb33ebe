// Shared-table updates of one driver family are serialised by a named
// mutex that every writer shares (simultaneous changes to different ports
// all surviving is shown in concurrency_test.cpp).
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
            const std::string port =
                AddPort(adapter, "USB Serial (COM" + std::to_string(com) + ")");
            StoreSetting(Layout::kSharedTable, adapter, com, port, "TxMode", 0);
        }
    }
    static std::uint8_t TableByte(int com) {
        return simwin::GetValue(SwitchKeyOf(kPlainAdapter), "TxMode")->data.at(com - 1);
    }
};

constexpr char kGlobalName[] = "Global\\portopt.KARBEND.FixComFunc";
constexpr DWORD kWaiterRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// A holder of the global mutex, which may have been created by a writer in
// another session or security context: this process then gets only
// `rightsHere` on it, and its CreateMutexA of the name is refused.
struct HolderCase {
    const char* label;
    DWORD rightsHere;
};

class TableLockHolder : public TableLockTest, public ::testing::WithParamInterface<HolderCase> {};

TEST_P(TableLockHolder, UpdateWaitsForTheHolderAndFinishesPromptlyAfter) {
    using Clock = std::chrono::steady_clock;
    AdaptersForComs(1);
    std::atomic<bool> holding{false}, release{false};
    std::thread holder([&] {
        const platform::MutexHandle mutex(CreateMutexA(nullptr, TRUE, kGlobalName));
        simwin::RestrictMutex(kGlobalName, GetParam().rightsHere);
        holding = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ReleaseMutex(mutex.get());
    });
    while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(2));

    std::atomic<Clock::time_point> done{};
    std::thread changer([&] {
        EXPECT_EQ(PoSetTxMode(1, 1), 1);
        done = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(TableByte(1), 0) << "stored while another holder had the lock";
    const Clock::time_point released = Clock::now();
    release = true;
    changer.join();
    holder.join();
    EXPECT_EQ(TableByte(1), 1);
    EXPECT_LT(done.load() - released, std::chrono::seconds(1));
}

INSTANTIATE_TEST_SUITE_P(Contexts, TableLockHolder,
                         ::testing::Values(HolderCase{"SameContext", MUTEX_ALL_ACCESS},
                                           HolderCase{"OtherContext", kWaiterRights}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(TableLockTest, LockIsFreeAtOnceAfterAnUpdateWhileAnotherHandleKeepsIt) {
    AdaptersForComs(1);
    const platform::MutexHandle keeper(CreateMutexA(nullptr, FALSE, kGlobalName));
    ASSERT_EQ(PoSetTxMode(1, 1), 1);
    std::thread([&] { EXPECT_EQ(WaitForSingleObject(keeper.get(), 0), WAIT_OBJECT_0); }).join();
}

TEST_F(TableLockTest, CreatedMutexLetsAdministratorsAndSystemWait) {
    const portopt::TableLock held(portopt::FamilyOf(kPlainProduct));
    ASSERT_TRUE(held.Held());
    const auto descriptor = simwin::MutexSecurity(kGlobalName);
    ASSERT_TRUE(descriptor.has_value()) << "created with default security";
    EXPECT_NE(descriptor->find("(A;;GA;;;BA)"), std::string::npos) << *descriptor;
    EXPECT_NE(descriptor->find("(A;;GA;;;SY)"), std::string::npos) << *descriptor;
}

// How the lock finds its mutex when the global one is missing, refused or
// not available: which calls it makes and whether the update still lands.
struct NamespaceCase {
    const char* label;
    void (*arrange)();
    int opens, creates;
};

const NamespaceCase kNamespaceCases[] = {
    {"CreatedGlobally", [] {}, 1, 1},
    {"CreatedMeanwhileByAnotherContext",
     [] { simwin::FailAt("CreateMutexA", 1, ERROR_ACCESS_DENIED); }, 2, 2},
    {"GlobalNamespaceUnavailable", [] { simwin::FailAt("CreateMutexA", 1, ERROR_PATH_NOT_FOUND); },
     1, 2},
    {"GlobalMutexRefusesEvenWaiting", [] { simwin::FailAt("OpenMutexA", 1, ERROR_ACCESS_DENIED); },
     1, 0},
};

class TableLockNamespace : public TableLockTest,
                           public ::testing::WithParamInterface<NamespaceCase> {};

TEST_P(TableLockNamespace, UpdateLandsWithTheMutexItCouldHave) {
    AdaptersForComs(1);
    GetParam().arrange();
    EXPECT_EQ(PoSetTxMode(1, 1), 1);
    EXPECT_EQ(simwin::Calls("OpenMutexA"), GetParam().opens);
    EXPECT_EQ(simwin::Calls("CreateMutexA"), GetParam().creates);
    EXPECT_EQ(TableByte(1), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TableLockNamespace, ::testing::ValuesIn(kNamespaceCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(TableLockTest, HungHolderDelaysAnUpdateOnlyForTheWait) {
    std::thread holder;
    std::atomic<bool> release{false};
    holder = std::thread([&] {
        const portopt::TableLock held(portopt::FamilyOf(kPlainProduct));
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    const portopt::TableLock waited(portopt::FamilyOf(kPlainProduct), 100);
    EXPECT_FALSE(waited.Held());
    EXPECT_TRUE(waited.TimedOut());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    release = true;
    holder.join();
}

// A holder that keeps the lock past the wait still owns the table: the
// update must not go on without it, so the change fails as a store that
// cannot be written, and the driver is given the old value back.
TEST_F(TableLockTest, UpdateThatWaitsOutAHolderIsAStoreFailure) {
    AdaptersForComs(1);
    std::atomic<bool> holding{false}, release{false};
    std::thread holder([&] {
        const portopt::TableLock held(portopt::FamilyOf(kPlainProduct));
        holding = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    simwin::ShortenWaits(20);
    SetLastError(0);
    EXPECT_EQ(PoSetTxMode(1, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_REGISTRY_IO_FAILED));
    release = true;
    holder.join();
    EXPECT_EQ(TableByte(1), 0);
    const auto accepted = simwin::AcceptedRequests(AdapterPath("USB\\VID_1A2B&PID_2201\\8&1"));
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(ChannelFirst(accepted[1]).value, 0) << "the old value back";
}

TEST_F(TableLockTest, FamiliesHaveSeparateLocks) {
    const portopt::TableLock karbend(portopt::FamilyOf(kPlainProduct));
    std::thread other([] { EXPECT_TRUE(portopt::TableLock(portopt::FamilyOf(0x1131)).Held()); });
    other.join();
}

// The lock's owner died holding it: the next change is handed the mutex
// (WAIT_ABANDONED), makes its update and releases the lock again.
TEST_F(TableLockTest, MutexLeftByADeadOwnerIsTakenOver) {
    AdaptersForComs(1);
    const platform::MutexHandle keeper(CreateMutexA(nullptr, FALSE, kGlobalName));
    ASSERT_TRUE(keeper);
    std::thread([&] {
        const platform::MutexHandle mutex(CreateMutexA(nullptr, FALSE, kGlobalName));
        ASSERT_EQ(WaitForSingleObject(mutex.get(), INFINITE), WAIT_OBJECT_0);
    }).join();  // ends owning it
    EXPECT_EQ(PoSetTxMode(1, 1), 1);
    EXPECT_EQ(TableByte(1), 1);
    simwin::ShortenWaits(100);
    std::thread([] {
        EXPECT_TRUE(portopt::TableLock(portopt::FamilyOf(kPlainProduct)).Held())
            << "the change released the lock it took over";
    }).join();
}

}  // namespace
}  // namespace change_test
