// A simulated mutex object.  Each has its own lock and condition variable,
// so that threads block on it without holding the machine lock.
#ifndef SIMWIN_SRC_MUTEX_OBJECT_H
#define SIMWIN_SRC_MUTEX_OBJECT_H

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "simwin/win32.h"

namespace simwin::detail {

struct MutexObject {
    std::mutex lock;
    std::condition_variable released;
    std::thread::id owner;  // default-constructed: not owned
    int recursion = 0;
    bool abandoned = false;
    // Set when the mutex is created; guarded by the machine lock.
    DWORD grantedToOpeners = MUTEX_ALL_ACCESS;
    std::optional<std::string> securityDescriptor;
};

}  // namespace simwin::detail

#endif
