// Named and unnamed mutexes.  Ownership is per thread and recursive; a
// thread that ends while owning a mutex abandons it, and the next waiter
// gets WAIT_ABANDONED.  Waiting happens on the mutex object's own lock, never
// on the machine lock.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "machine_state.h"
#include "win32_result.h"

namespace simwin::detail {
namespace {

// The mutexes this thread acquired; on thread exit those it still owns are
// abandoned.
class OwnedByThisThread {
public:
    ~OwnedByThisThread() {
        for (auto& weak : held_) {
            auto mutex = weak.lock();
            if (!mutex) continue;
            std::lock_guard<std::mutex> guard(mutex->lock);
            if (mutex->owner != std::this_thread::get_id()) continue;
            mutex->owner = {};
            mutex->recursion = 0;
            mutex->abandoned = true;
            mutex->released.notify_one();
        }
    }
    void Add(const std::shared_ptr<MutexObject>& mutex) {
        held_.erase(std::remove_if(held_.begin(), held_.end(),
                                   [&](const std::weak_ptr<MutexObject>& w) {
                                       auto m = w.lock();
                                       return !m || m == mutex;
                                   }),
                    held_.end());
        held_.push_back(mutex);
    }

private:
    std::vector<std::weak_ptr<MutexObject>> held_;
};

thread_local OwnedByThisThread ownedMutexes;

// Takes ownership; the caller holds mutex.lock and the mutex is free.
DWORD Take(MutexObject& mutex, const std::shared_ptr<MutexObject>& shared) {
    mutex.owner = std::this_thread::get_id();
    mutex.recursion = 1;
    ownedMutexes.Add(shared);
    const bool abandoned = mutex.abandoned;
    mutex.abandoned = false;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

// "Local\" names the session namespace that unprefixed names live in; the
// rest of a name may hold no backslash.
DWORD ObjectName(const char* name, std::string& key) {
    std::string n = name;
    if (n.size() > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    std::string prefix;
    if (n.rfind("Global\\", 0) == 0) prefix = "Global\\";
    else if (n.rfind("Local\\", 0) == 0) n.erase(0, 6);
    if (n.find('\\', prefix.size()) != std::string::npos) return ERROR_PATH_NOT_FOUND;
    key = n;
    return 0;
}

std::shared_ptr<MutexObject> MutexOf(Machine& m, HANDLE h) {
    auto it = m.mutexes.find(HandleValue(h));
    return it == m.mutexes.end() ? nullptr : it->second.mutex;
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CreateMutexA")) return FailWith(fault), nullptr;
    std::string name;
    if (lpName && *lpName)
        if (DWORD error = ObjectName(lpName, name)) return FailWith(error), nullptr;
    std::shared_ptr<MutexObject> mutex;
    if (!name.empty()) mutex = m->namedMutexes[name].lock();
    const bool existed = mutex != nullptr;
    if (!existed) {
        mutex = std::make_shared<MutexObject>();
        if (!name.empty()) m->namedMutexes[name] = mutex;
        if (bInitialOwner) Take(*mutex, mutex);  // nobody else can see it yet
    }
    std::uintptr_t handle = NewHandleValue();
    m->mutexes.emplace(handle, MutexHandle{mutex, name});
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return AsHandle<HANDLE>(handle);
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<MutexObject> mutex;
    {
        auto m = Access();
        if (DWORD fault = CountCall(*m, "WaitForSingleObject")) return FailWith(fault), WAIT_FAILED;
        mutex = MutexOf(*m, hHandle);
        // A file handle is signalled: no I/O is ever pending on it.
        if (!mutex && m->files.count(HandleValue(hHandle))) return WAIT_OBJECT_0;
        if (!mutex) return FailWith(ERROR_INVALID_HANDLE), WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lock(mutex->lock);
    if (mutex->owner == std::this_thread::get_id()) {
        ++mutex->recursion;
        return WAIT_OBJECT_0;
    }
    auto isFree = [&] { return mutex->owner == std::thread::id(); };
    if (dwMilliseconds == INFINITE) {
        mutex->released.wait(lock, isFree);
    } else if (!mutex->released.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), isFree)) {
        return WAIT_TIMEOUT;
    }
    return Take(*mutex, mutex);
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    std::shared_ptr<MutexObject> mutex;
    {
        auto m = Access();
        if (DWORD fault = CountCall(*m, "ReleaseMutex")) return FailWith(fault);
        mutex = MutexOf(*m, hMutex);
        if (!mutex) return FailWith(ERROR_INVALID_HANDLE);
    }
    std::lock_guard<std::mutex> lock(mutex->lock);
    if (mutex->owner != std::this_thread::get_id()) return FailWith(ERROR_NOT_OWNER);
    if (--mutex->recursion == 0) {
        mutex->owner = {};
        mutex->released.notify_one();
    }
    return TRUE;
}

}
