// Giving a present COM port another COM number, as Device Manager does,
// plus the one rule of our drivers' store: in shared-table mode a port's
// values sit at its COM number's index and move with it.  Each step changes
// one thing and records how to put it back; when a step fails, the steps
// done are undone in reverse order, so the machine is left as it was.  The
// device's restart comes last: once it is asked for, the port runs under
// the new number and nothing is undone.
#ifndef PORTOPT_RENUMBERING_H
#define PORTOPT_RENUMBERING_H

#include <functional>
#include <string>
#include <vector>

#include "com_database.h"
#include "driver_family.h"
#include "win32.h"

namespace portopt {

// The port as the checks found it, and what it is to become.
struct RenumberPlan {
    HDEVINFO list = nullptr;  // the ports list the device belongs to
    SP_DEVINFO_DATA device{};
    int from = 0;
    int to = 0;
    std::string friendlyName;     // as read, without its terminator
    std::string newFriendlyName;  // with "COM<to>" in place of "COM<from>"
    const DriverFamily* family = nullptr;
    bool sharedTable = false;
    HCOMDB database = nullptr;  // open for the whole renumbering
    bool toMarked = false;      // the database marked the new number before
    bool fromMarked = false;    // ... and the old one
};

// What a renumbering came to.
struct RenumberResult {
    DWORD error = 0;  // 0: renumbered; else the failed step's code, all undone
    bool needsReboot = false;
};

RenumberResult Renumber(RenumberPlan& plan);

// Steps done so far, each with how to undo it; undone in reverse order on
// destruction unless the whole renumbering was kept.
class UndoLog {
public:
    UndoLog() = default;
    UndoLog(const UndoLog&) = delete;
    UndoLog& operator=(const UndoLog&) = delete;
    ~UndoLog();

    void Add(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
    void Keep() { undo_.clear(); }

private:
    std::vector<std::function<void()>> undo_;
};

// Shared-table mode: moves the byte of COM `from` to COM `to` in the
// family's table `name` and marks `from` "no value", under the table lock.
// A table that is not stored has nothing to move.  On success `undo`
// receives how to put both bytes back.  False when the table cannot be
// read or written.
bool MoveTableValue(const DriverFamily& family, const char* name, int from, int to,
                    std::function<void()>& undo);

}  // namespace portopt

#endif
