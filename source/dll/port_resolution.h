// What an exported call learns about a COM port from one walk of the ports
// list: the adapter's product ID and instance ID, the port's channel index
// on it, the adapter's device path for a change, and the hardware key the
// port's per-port settings live in.  Everything a call reads, sends and
// stores belongs to the one port resolved here, so the pieces of a call
// can never pick different devices that happen to carry the same COM
// number.  The one-port calls walk the list for their COM number; the
// all-ports call walks it once and resolves every COM number it carries
// through the same steps.
#ifndef PORTOPT_PORT_RESOLUTION_H
#define PORTOPT_PORT_RESOLUTION_H

#include <optional>
#include <string>
#include <vector>

#include "adapter_lookup.h"
#include "device_setup.h"
#include "driver_family.h"
#include "port_identity.h"
#include "resolved_port.h"
#include "unique_resource.h"
#include "win32.h"

namespace portopt {

// How far the walk must go.
enum class Purpose {
    // The first port that passes the port match and whose adapter's
    // instance ID reads back.
    kQuery,
    // The first port that passes the port match and whose adapter has a
    // ports-class device path, which the change's requests go to.
    kChange,
};

// Offers each device of the ports list whose friendly name carries a COM
// number to `offer(port, device, channel)`, in list order, until `offer`
// answers false or the list ends (any failure to read a record ends it).
template <typename Offer>
void WalkPortsList(HDEVINFO ports, Offer offer) {
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports, index, device); ++index) {
        const std::optional<std::string> name = platform::ReadFriendlyName(ports, device);
        if (!name) continue;
        int channel = kNoChannel;
        const int port = ParseFriendlyName(*name, channel);
        if (IsValidComNumber(port) && !offer(port, device, channel)) return;
    }
}

// Resolves one COM number from the devices of the ports list whose names
// carry it, offered in list order.
class PortResolver {
public:
    // `adapters` are the call's lookups, shared by every resolver of the
    // call and alive while they are.
    PortResolver(int port, Purpose purpose, HDEVINFO ports, AdapterLookups& adapters);

    // Tries the next device whose name carries the COM number: the rest of
    // the port match, then the adapter looked up by itself.  True once the
    // port has all the call needs, and no further device is to be offered.
    bool Offer(const SP_DEVINFO_DATA& device, int channel);

    // The port the devices offered resolve to.
    ResolvedPort Finish();

private:
    // A port that passed the port match, with what its adapter gave.
    struct Candidate {
        SP_DEVINFO_DATA device;
        int channel;
        std::optional<std::string> adapterId;  // nullopt when it did not read back
    };

    void ResolveTo(const Candidate& candidate);

    Purpose purpose_;
    AdapterLookups* adapters_;
    ResolvedPort result_;
    bool resolved_ = false;
    // An adapter's list could not be built: the device lists count as
    // unavailable, and no other port is tried.
    bool listFailed_ = false;
    // The first port the product lookup alone would settle on: a change
    // that finds no device path falls back to it.
    std::optional<Candidate> lookupPort_;
};

// One COM number's resolution, with the ports list its device records
// belong to; the list stays open while the resolution lives.
class PortResolution {
public:
    static PortResolution Resolve(int port, Purpose purpose);

    const ResolvedPort& Port() const { return port_; }
    // The ports list the port was resolved from; null when it could not be
    // built.
    HDEVINFO List() const { return ports_.get(); }

private:
    platform::DeviceList ports_;
    ResolvedPort port_;
};

// Every COM number that a present port carries by name, resolved from one
// walk of the ports list, in ascending order.
class AllPortsResolution {
public:
    static AllPortsResolution Resolve();

    // Whether the ports list could be built at all.
    bool ListBuilt() const { return ports_.valid(); }
    const std::vector<ResolvedPort>& Ports() const { return result_; }

private:
    platform::DeviceList ports_;
    std::vector<ResolvedPort> result_;
};

}  // namespace portopt

#endif
