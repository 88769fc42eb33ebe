// Serialises updates of one driver family's shared 256-byte tables.  An
// update reads a whole table, changes one byte and writes it all back, so
// two updates at the same moment could each undo the other; the lock is a
// named system mutex, which orders them across threads and processes.
#ifndef PORTOPT_TABLE_LOCK_H
#define PORTOPT_TABLE_LOCK_H

#include "driver_family.h"
#include "unique_resource.h"
#include "win32.h"

namespace portopt {

// How long an update waits for another holder of the lock.  An update takes
// milliseconds; a holder that keeps the lock longer is hung or suspended,
// and the update gives up rather than hang its caller too.
inline constexpr DWORD kTableLockWaitMs = 5000;

// Holds the table mutex of a driver family from construction to
// destruction.  All sessions share one lock under the "Global\" name: an
// existing mutex is opened with only the rights a waiter needs, and a new
// one is created with a descriptor that gives Administrators and SYSTEM
// full access.  Only where the Global namespace is not available does the
// lock fall back to "Local\".  When no mutex can be had at all, the update
// goes on unlocked, as it would without this lock; when the wait runs out,
// another writer still holds the lock and the update must not go on.
class TableLock {
public:
    explicit TableLock(const DriverFamily& family, DWORD waitMs = kTableLockWaitMs);
    ~TableLock();

    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    bool Held() const { return held_; }
    // The mutex was had, but its holder kept it past the wait.
    bool TimedOut() const { return timedOut_; }

private:
    platform::MutexHandle mutex_;
    bool held_ = false;
    bool timedOut_ = false;
};

}  // namespace portopt

#endif
