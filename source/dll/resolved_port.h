// A COM number as one walk of the ports list resolved it: what the store,
// the adapter channel and the calls take from port_resolution.h's walk.
#ifndef PORTOPT_RESOLVED_PORT_H
#define PORTOPT_RESOLVED_PORT_H

#include <optional>
#include <string>
#include <vector>

#include "driver_family.h"
#include "port_identity.h"
#include "win32.h"

namespace portopt {

// The hardware keys that may hold a COM number's per-port settings, as
// device records of the ports list they were read from: the resolved
// port's alone or, when no port resolved, every port whose friendly name
// carries the COM number, in list order.  A reader takes the first whose
// value reads, a writer the first.
struct PortKeys {
    HDEVINFO list = nullptr;  // null when the ports list could not be built
    std::vector<SP_DEVINFO_DATA> devices;
};

// One COM number, resolved.
struct ResolvedPort {
    int port = 0;
    // -1 when no present port resolved, 0 when the device lists could not
    // be built or the adapter's instance ID yields no product.
    int productId = kNoMatchingPort;
    // The adapter's instance ID as read back; empty when none was.
    std::string adapterId;
    // The resolved port's channel index on its adapter (-1 when its name
    // has no "Port " number, or nothing resolved).
    int channel = kNoChannel;
    // The adapter's device path, looked for only by a change's walk.
    std::optional<std::string> devicePath;
    PortKeys keys;

    const DriverFamily& Family() const { return FamilyOf(productId); }
};

}  // namespace portopt

#endif
