// The COM port database that msports.dll keeps: one bit per COM number,
// set while some device holds the number.  The handle is owned like every
// other platform resource; the reads are bounded by what the database
// reports.
#ifndef PLATFORM_COM_DATABASE_H
#define PLATFORM_COM_DATABASE_H

#include <cstdint>
#include <optional>
#include <vector>

#include "unique_resource.h"
#include "win32.h"

#ifdef _WIN32
#include <ddk/msports.h>
#endif

namespace platform {

struct CloseComDatabase {
    void operator()(HCOMDB h) const { ComDBClose(h); }
};
using ComDatabase = UniqueResource<HCOMDB, CloseComDatabase>;

// The open database; empty, with ComDBOpen's status in `status`, when it
// cannot be opened (ERROR_ACCESS_DENIED for a caller without the rights).
ComDatabase OpenComDatabase(LONG& status);

// The database's bitmap as ComDBGetCurrentPortUsage reports it (bit n-1 of
// the array for COMn); nullopt, with the call's status, when it cannot be
// read.
std::optional<std::vector<std::uint8_t>> ReadComDatabase(HCOMDB database, LONG& status);

// Whether `bitmap` marks COM `number` in use.
bool MarksInUse(const std::vector<std::uint8_t>& bitmap, int number);

}  // namespace platform

#endif
