#include "table_lock.h"

#include <string>

#include "port_identity.h"

namespace portopt {

namespace {

HANDLE CreateNamedMutex(const char* nameSpace, const char* name) {
    const std::string fullName = std::string(nameSpace) + name;
    return CreateMutexA(nullptr, FALSE, fullName.c_str());
}

platform::MutexHandle OpenTableMutex(const char* name) {
    platform::MutexHandle mutex(CreateNamedMutex("Global\\", name));
    if (!mutex) mutex.reset(CreateNamedMutex("Local\\", name));
    return mutex;
}

// A wait that ends with the mutex owned; an abandoned mutex is owned too
// (its last owner died, and the table it left is still a whole table).
bool Acquire(HANDLE mutex, DWORD waitMs) {
    const DWORD result = WaitForSingleObject(mutex, waitMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace

TableLock::TableLock(int productId, DWORD waitMs) {
    try {
        mutex_ = OpenTableMutex(IsTovelserFamily(productId) ? kTovelserTableMutex
                                                            : kKarbendTableMutex);
    } catch (...) {
        return;
    }
    held_ = mutex_ && Acquire(mutex_.get(), waitMs);
}

TableLock::~TableLock() {
    if (held_) ReleaseMutex(mutex_.get());
}

}  // namespace portopt
