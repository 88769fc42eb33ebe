// The exported calls, each through the one guard of both libraries.
#include <cstdio>

#include "comlist.h"
#include "exported_call.h"
#include "name_array.h"
#include "port_scan.h"

namespace {

using platform::CallAnswer;

// EnumCOMPorts' one message, which callers of that call rely on.
void ReportNoDeviceList() {
    std::fputs("SetupDiGetClassDevs failed.\n", stdout);
    std::fflush(stdout);
}

bool ValidArguments(comlist_char** names, int capacity, const int* count) {
    if (count == nullptr || capacity < 0) return false;
    if (capacity > 0 && names == nullptr) return false;
    for (int i = 0; i < capacity; ++i) {
        if (names[i] == nullptr) return false;
    }
    return true;
}

// The listing into an array ended by a null entry: always 0, no code; a
// failed list is said on standard output.
CallAnswer ListUntilNull(comlist_char** names, int* count) {
    comlist::NameArray out = comlist::NameArray::EndedByNull(names);
    if (!comlist::ScanComPorts(out).listBuilt) ReportNoDeviceList();
    *count = out.Found();
    return {0};
}

// The listing into `capacity` entries: 1, or 0 with the platform's code
// when the list cannot be built, or with ERROR_INSUFFICIENT_BUFFER and the
// count needed when there are more names than entries.  The scan has
// released all it acquired when it returns, so the code set here is last.
CallAnswer ListBounded(comlist_char** names, int capacity, int* count) {
    // A listing that fails, out of memory included, counts no names.
    *count = 0;
    comlist::NameArray out = comlist::NameArray::OfCapacity(names, capacity);
    const comlist::ScanResult scan = comlist::ScanComPorts(out);
    if (!scan.listBuilt) return {0, scan.listError};
    *count = out.Found();
    if (out.Overflowed()) return {0, ERROR_INSUFFICIENT_BUFFER};
    return {1};
}

}  // namespace

// Without both an array and a count there is nowhere to report to; nothing
// in the scan throws, and were it to, the call would still answer 0.
extern "C" COMLIST_API int COMLIST_CALL EnumCOMPorts(comlist_char** names, int* count) {
    return platform::RunExportedCall(names != nullptr && count != nullptr, {0}, {0},
                                     [=] { return ListUntilNull(names, count); });
}

// A listing that ran out of memory failed.  Arguments that are not valid
// leave everything, the count included, as it was.
extern "C" COMLIST_API int COMLIST_CALL EnumCOMPortsEx(comlist_char** names, int capacity,
                                                       int* count) {
    return platform::RunExportedCall(ValidArguments(names, capacity, count),
                                     {0, ERROR_INVALID_PARAMETER}, {0, ERROR_NOT_ENOUGH_MEMORY},
                                     [=] { return ListBounded(names, capacity, count); });
}
