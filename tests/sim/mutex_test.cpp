// Named mutexes across threads, and the per-thread last-error code.
#include <atomic>
#include <thread>

#include "sim_test.h"

using namespace simwin;

namespace {

using MutexTest = SimTest;

TEST_F(MutexTest, SameNameSameObject) {
    HANDLE a = CreateMutexA(nullptr, FALSE, "Global\\PortTable");
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE b = CreateMutexA(nullptr, FALSE, "Global\\PortTable");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    HANDLE c = CreateMutexA(nullptr, FALSE, "PortTable");
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE d = CreateMutexA(nullptr, FALSE, "Local\\PortTable");  // the session's own name
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_NE(a, b);
    EXPECT_EQ(GetOutstanding().handles, 4);
    for (HANDLE h : {a, b, c, d}) EXPECT_TRUE(CloseHandle(h));
}

TEST_F(MutexTest, ExcludesOtherThreadsAndIsRecursive) {
    HANDLE mine = CreateMutexA(nullptr, TRUE, "Lock");
    ASSERT_EQ(WaitForSingleObject(mine, 0), WAIT_OBJECT_0);  // recursive
    std::atomic<DWORD> waited{0xFF};
    std::thread other([&] {
        HANDLE theirs = CreateMutexA(nullptr, FALSE, "Lock");
        EXPECT_EQ(WaitForSingleObject(theirs, 20), WAIT_TIMEOUT);
        EXPECT_FALSE(ReleaseMutex(theirs));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
        waited = WaitForSingleObject(theirs, INFINITE);
        ReleaseMutex(theirs);
        CloseHandle(theirs);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(ReleaseMutex(mine));
    EXPECT_EQ(waited.load(), 0xFFu);  // still held once
    EXPECT_TRUE(ReleaseMutex(mine));
    other.join();
    EXPECT_EQ(waited.load(), WAIT_OBJECT_0);
    CloseHandle(mine);
}

TEST_F(MutexTest, AbandonedByAnEndedThread) {
    HANDLE h = CreateMutexA(nullptr, FALSE, "Abandon");
    std::thread([&] { WaitForSingleObject(h, INFINITE); }).join();
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_ABANDONED);
    ReleaseMutex(h);
    CloseHandle(h);
}

TEST_F(MutexTest, LastErrorIsPerThread) {
    SetLastError(111);
    std::thread([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(222);
    }).join();
    EXPECT_EQ(GetLastError(), 111u);
}

}  // namespace
