// Named and unnamed mutexes.  Ownership is per thread and recursive; a
// thread that ends while owning a mutex abandons it, and the next waiter
// gets WAIT_ABANDONED.  Waiting happens on the mutex object's own lock, never
// on the machine lock.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "machine_state.h"
#include "text.h"
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
    if (n.rfind("Global\\", 0) == 0)
        prefix = "Global\\";
    else if (n.rfind("Local\\", 0) == 0)
        n.erase(0, 6);
    if (n.find('\\', prefix.size()) != std::string::npos) return ERROR_PATH_NOT_FOUND;
    key = n;
    return 0;
}

// The mutex behind a handle, if the handle was granted `needed`; sets the
// last-error code and returns null otherwise.
std::shared_ptr<MutexObject> MutexFor(Machine& m, HANDLE h, DWORD needed) {
    auto it = m.mutexes.find(HandleValue(h));
    if (it == m.mutexes.end()) return FailWith(ERROR_INVALID_HANDLE), nullptr;
    if ((it->second.access & needed) != needed) return FailWith(ERROR_ACCESS_DENIED), nullptr;
    return it->second.mutex;
}

HANDLE NewMutexHandle(Machine& m, const std::shared_ptr<MutexObject>& mutex,
                      const std::string& name, DWORD access) {
    const std::uintptr_t handle = NewHandleValue();
    m.mutexes.emplace(handle, MutexHandle{mutex, name, access});
    return AsHandle<HANDLE>(handle);
}

// The descriptor given at creation, in the string form it was made from;
// false when the attributes point at something that is not a descriptor.
bool DescriptorText(Machine& m, LPSECURITY_ATTRIBUTES attributes,
                    std::optional<std::string>& text) {
    if (!attributes || !attributes->lpSecurityDescriptor) return true;
    auto it = m.securityDescriptors.find(attributes->lpSecurityDescriptor);
    if (it == m.securityDescriptors.end()) return false;
    text = it->second;
    return true;
}

HANDLE OpenNamed(const char* operation, DWORD access, const std::string& fullName) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, operation)) return FailWith(fault), nullptr;
    std::string name;
    if (fullName.empty()) return FailWith(ERROR_INVALID_PARAMETER), nullptr;
    if (DWORD error = ObjectName(fullName.c_str(), name)) return FailWith(error), nullptr;
    auto it = m->namedMutexes.find(name);
    std::shared_ptr<MutexObject> mutex = it == m->namedMutexes.end() ? nullptr : it->second.lock();
    if (!mutex) return FailWith(ERROR_FILE_NOT_FOUND), nullptr;
    if ((mutex->grantedToOpeners & access) != access) return FailWith(ERROR_ACCESS_DENIED), nullptr;
    return NewMutexHandle(*m, mutex, name, access);
}

std::shared_ptr<MutexObject> NamedOrThrow(Machine& m, const std::string& fullName) {
    std::string name;
    if (ObjectName(fullName.c_str(), name) != 0) throw std::invalid_argument("simwin: bad name");
    auto it = m.namedMutexes.find(name);
    auto mutex = it == m.namedMutexes.end() ? nullptr : it->second.lock();
    if (!mutex) throw std::invalid_argument("simwin: no mutex " + fullName);
    return mutex;
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

// Creating a name that exists opens it asking for MUTEX_ALL_ACCESS, which a
// mutex of another security context may refuse.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCSTR lpName) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CreateMutexA")) return FailWith(fault), nullptr;
    std::string name;
    if (lpName && *lpName)
        if (DWORD error = ObjectName(lpName, name)) return FailWith(error), nullptr;
    std::shared_ptr<MutexObject> mutex;
    if (!name.empty()) mutex = m->namedMutexes[name].lock();
    const bool existed = mutex != nullptr;
    std::optional<std::string> descriptor;
    if (!DescriptorText(*m, lpMutexAttributes, descriptor))
        return FailWith(ERROR_INVALID_SECURITY_DESCR), nullptr;
    if (existed && (mutex->grantedToOpeners & MUTEX_ALL_ACCESS) != MUTEX_ALL_ACCESS)
        return FailWith(ERROR_ACCESS_DENIED), nullptr;
    if (!existed) {
        mutex = std::make_shared<MutexObject>();
        mutex->securityDescriptor = std::move(descriptor);
        if (!name.empty()) m->namedMutexes[name] = mutex;
        if (bInitialOwner) Take(*mutex, mutex);  // nobody else can see it yet
    }
    HANDLE handle = NewMutexHandle(*m, mutex, name, MUTEX_ALL_ACCESS);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL, LPCSTR lpName) {
    return OpenNamed("OpenMutexA", dwDesiredAccess, lpName ? lpName : "");
}

HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL, LPCWSTR lpName) {
    return OpenNamed("OpenMutexW", dwDesiredAccess, NarrowName(lpName));
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<MutexObject> mutex;
    {
        auto m = Access();
        if (DWORD fault = CountCall(*m, "WaitForSingleObject")) return FailWith(fault), WAIT_FAILED;
        // A file handle is signalled: no I/O is ever pending on it.
        if (m->files.count(HandleValue(hHandle))) return WAIT_OBJECT_0;
        mutex = MutexFor(*m, hHandle, SYNCHRONIZE);
        if (!mutex) return WAIT_FAILED;
        if (m->longestWait && dwMilliseconds != INFINITE) {
            dwMilliseconds = std::min(dwMilliseconds, *m->longestWait);
        }
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
        mutex = MutexFor(*m, hMutex, MUTEX_MODIFY_STATE);
        if (!mutex) return FALSE;
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

namespace simwin {

void RestrictMutex(const std::string& name, DWORD allowed) {
    auto m = detail::Access();
    NamedOrThrow(*m, name)->grantedToOpeners = allowed;
}

std::optional<std::string> MutexSecurity(const std::string& name) {
    auto m = detail::Access();
    std::string key;
    if (detail::ObjectName(name.c_str(), key) != 0) return std::nullopt;
    auto it = m->namedMutexes.find(key);
    auto mutex = it == m->namedMutexes.end() ? nullptr : it->second.lock();
    return mutex ? mutex->securityDescriptor : std::nullopt;
}

}  // namespace simwin
