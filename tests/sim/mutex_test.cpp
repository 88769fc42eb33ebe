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

// A mutex of another security context grants this process only some
// rights: opens ask for what they need, CreateMutexA asks for everything.
TEST_F(MutexTest, RightsOfAMutexFromAnotherContext) {
    constexpr DWORD kWaiter = SYNCHRONIZE | MUTEX_MODIFY_STATE;
    EXPECT_EQ(OpenMutexA(kWaiter, FALSE, "Global\\Other"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    HANDLE theirs = CreateMutexA(nullptr, FALSE, "Global\\Other");
    RestrictMutex("Global\\Other", kWaiter);

    struct Open {
        DWORD access;
        DWORD error;  // 0: opens
    };
    for (const Open& o : {Open{kWaiter, 0}, Open{SYNCHRONIZE, 0}, Open{MUTEX_ALL_ACCESS, 5}}) {
        HANDLE h = OpenMutexW(o.access, FALSE, u"Global\\Other");
        EXPECT_EQ(h == nullptr ? GetLastError() : 0u, o.error) << std::hex << o.access;
        if (h) CloseHandle(h);
    }
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Global\\Other"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    HANDLE waitOnly = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Other");
    EXPECT_EQ(WaitForSingleObject(waitOnly, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(waitOnly));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(waitOnly);  // abandons nothing: this thread still owns it
    CloseHandle(theirs);
}

TEST_F(MutexTest, DescriptorGivenAtCreationIsKept) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    EXPECT_FALSE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(u"D:(A;;GA;;;SY)", 2, &sd, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_REVISION));
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        u"D:(A;;GA;;;SY)", SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    HANDLE h = CreateMutexA(&attributes, FALSE, "Secured");
    EXPECT_EQ(LocalFree(sd), nullptr);
    EXPECT_EQ(MutexSecurity("Local\\Secured"), "D:(A;;GA;;;SY)");
    attributes.lpSecurityDescriptor = &attributes;
    EXPECT_EQ(CreateMutexA(&attributes, FALSE, "Unsecured"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_SECURITY_DESCR));
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
