// The exported calls.  No exception crosses the C boundary.
#include <cstdio>

#include "comlist.h"
#include "name_array.h"
#include "port_scan.h"

namespace {

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

}  // namespace

extern "C" COMLIST_API int COMLIST_CALL EnumCOMPorts(comlist_char** names, int* count) {
    // Without both an array and a count there is nowhere to report to.
    if (names == nullptr || count == nullptr) return 0;
    comlist::NameArray out = comlist::NameArray::EndedByNull(names);
    try {
        if (!comlist::ScanComPorts(out).listBuilt) ReportNoDeviceList();
    } catch (...) {
        // Nothing in the scan throws; the names written so far stand.
    }
    *count = out.found();
    return 0;
}

extern "C" COMLIST_API int COMLIST_CALL EnumCOMPortsEx(comlist_char** names, int capacity,
                                                       int* count) {
    if (count != nullptr) *count = 0;
    if (!ValidArguments(names, capacity, count)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    comlist::NameArray out = comlist::NameArray::OfCapacity(names, capacity);
    comlist::ScanResult scan;
    try {
        scan = comlist::ScanComPorts(out);
    } catch (...) {
        // Nothing in the scan throws; were it to run out of memory, the
        // listing failed.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    // The scan has released all it acquired, which may have reset the
    // thread's code: the code this call reports is set from here on.
    if (!scan.listBuilt) {
        SetLastError(scan.listError);
        return 0;
    }
    *count = out.found();
    if (out.overflowed()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return 1;
}
