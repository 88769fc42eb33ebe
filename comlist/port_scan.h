// The listing itself: every COM-port interface of every present device, in
// device order and, within a device, in interface order.
#ifndef COMLIST_PORT_SCAN_H
#define COMLIST_PORT_SCAN_H

#include "name_array.h"

namespace comlist {

// Device records that may fail in a row (with anything but "no more items")
// before the scan gives up on the list.  Isolated failures only skip the
// device concerned; a list that fails persistently would otherwise never
// end the scan.
inline constexpr int kMaxConsecutiveDeviceFailures = 32;

// How a scan ended.
struct ScanResult {
    bool listBuilt = true;
    DWORD listError = ERROR_SUCCESS;  // the platform's code when the list was not built
};

// Appends the port name of each COM-port interface whose device has a
// readable "PortName" to `out`, stopping early where `out` ends.  When the
// device list cannot be built, appends nothing and returns the code the
// platform left.  Writes no output: what to tell the caller is the
// exported call's business.  Every resource of the scan is released when
// it returns, so a code its caller sets then is the last one.
ScanResult ScanComPorts(NameArray& out);

}  // namespace comlist

#endif
