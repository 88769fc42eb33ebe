#include "table_lock.h"

#include <string>

#include "security_descriptor.h"

namespace portopt {

namespace {

// What a writer needs of the mutex: wait on it and release it.
constexpr DWORD kWaiterRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Full access for Administrators and SYSTEM: every caller who may write a
// driver's key can then wait on the mutex and release it, whichever
// session or security context created it.
constexpr const char* kTableMutexSecurity = "D:(A;;GA;;;BA)(A;;GA;;;SY)";

platform::MutexHandle CreateGlobalMutex(const std::string& name) {
    const platform::LocalBlock descriptor =
        platform::SecurityDescriptorFromString(kTableMutexSecurity);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
    // Without a descriptor the mutex gets default security, which still
    // orders the writers that share the creator's context.
    return platform::MutexHandle(
        CreateMutexA(descriptor ? &attributes : nullptr, FALSE, name.c_str()));
}

struct GlobalMutex {
    platform::MutexHandle mutex;
    bool refused = false;  // it exists, but may not be waited on by this caller
};

// The session-wide mutex, opened with only the rights a waiter needs, or
// created when it does not exist yet.  A create that is refused means that
// another writer created it in the meantime with rights this caller lacks
// in full, so it is opened once more.
GlobalMutex OpenGlobalMutex(const char* name) {
    const std::string fullName = std::string("Global\\") + name;
    for (int round = 0; round < 2; ++round) {
        platform::MutexHandle mutex(OpenMutexA(kWaiterRights, FALSE, fullName.c_str()));
        if (mutex) return {std::move(mutex), false};
        const DWORD openError = GetLastError();
        if (openError == ERROR_ACCESS_DENIED) return {{}, true};
        if (openError != ERROR_FILE_NOT_FOUND) return {};
        mutex = CreateGlobalMutex(fullName);
        if (mutex || GetLastError() != ERROR_ACCESS_DENIED) return {std::move(mutex), false};
    }
    return {{}, true};
}

// The global mutex, or the session's own where the Global namespace is not
// available at all.  A global mutex that exists but refuses this caller is
// not replaced by a local one: that would order nobody against its holder.
platform::MutexHandle OpenTableMutex(const char* name) {
    GlobalMutex global = OpenGlobalMutex(name);
    if (global.mutex || global.refused) return std::move(global.mutex);
    return platform::MutexHandle(
        CreateMutexA(nullptr, FALSE, (std::string("Local\\") + name).c_str()));
}

// A wait that ends with the mutex owned; an abandoned mutex is owned too
// (its last owner died, and the table it left is still a whole table).
bool Owned(DWORD waitResult) { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

}  // namespace

TableLock::TableLock(const DriverFamily& family, DWORD waitMs) {
    mutex_ = OpenTableMutex(family.tableLockName);
    if (!mutex_) return;
    const DWORD result = WaitForSingleObject(mutex_.get(), waitMs);
    held_ = Owned(result);
    timedOut_ = result == WAIT_TIMEOUT;
}

TableLock::~TableLock() {
    if (held_) ReleaseMutex(mutex_.get());
}

}  // namespace portopt
