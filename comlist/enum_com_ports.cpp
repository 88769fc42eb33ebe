// The exported call.  Nothing escapes it: no exception crosses the C
// boundary, and the result is always 0.
#include "comlist.h"
#include "name_array.h"
#include "port_scan.h"

extern "C" COMLIST_API int COMLIST_CALL EnumCOMPorts(comlist_char** names, int* count) {
    // Without both an array and a count there is nowhere to report to.
    if (names == nullptr || count == nullptr) return 0;
    comlist::NameArray out(names);
    try {
        comlist::ScanComPorts(out);
    } catch (...) {
        // Nothing in the scan throws; the names written so far stand.
    }
    *count = out.count();
    return 0;
}
