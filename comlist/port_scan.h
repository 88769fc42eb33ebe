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

// Appends the port name of each COM-port interface whose device has a
// readable "PortName" to `out`, stopping early where `out` ends.  When the
// device list cannot be built, says so on standard output and appends
// nothing.
void ScanComPorts(NameArray& out);

}  // namespace comlist

#endif
