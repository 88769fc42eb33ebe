// What one exported call learns about its COM port, from one walk of the
// ports list: the adapter's product ID, the adapter's device path and the
// port's channel index on it, and the hardware key the port's per-port
// settings live in.  Everything a call reads, sends and stores belongs to
// the one port resolved here, so the pieces of a call can never pick
// different devices that happen to carry the same COM number.
#ifndef PORTOPT_PORT_RESOLUTION_H
#define PORTOPT_PORT_RESOLUTION_H

#include <optional>
#include <string>
#include <vector>

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

// The hardware keys that may hold a COM number's per-port settings, as
// device records of the ports list they were read from: the resolved
// port's alone or, when no port resolved, every port whose friendly name
// carries the COM number, in list order.  A reader takes the first whose
// value reads, a writer the first.
struct PortKeys {
    HDEVINFO list = nullptr;  // null when the ports list could not be built
    std::vector<SP_DEVINFO_DATA> devices;
};

class PortResolution {
public:
    // Builds the ports list and walks it once for COM `port` (1 to 256),
    // adding the all-devices list only once a port has passed the port
    // match.  Both lists stay open until the resolution is destroyed, so
    // the device records it holds stay usable for the whole call.
    static PortResolution Resolve(int port, Purpose purpose);

    int Port() const { return port_; }
    // The adapter's product ID: -1 when no present port resolved, 0 when
    // the device lists could not be built or the adapter's instance ID
    // yields no product.
    int ProductId() const { return productId_; }
    // The adapter's instance ID as read back; empty when none was.
    const std::string& AdapterId() const { return adapterId_; }
    // The resolved port's channel index on its adapter (-1 when its name
    // has no "Port " number, or nothing resolved).
    int Channel() const { return channel_; }
    // The adapter's device path, found only by a change's walk.
    const std::optional<std::string>& DevicePath() const { return devicePath_; }
    const PortKeys& Keys() const { return keys_; }

private:
    explicit PortResolution(int port) : port_(port) {}

    // A port that passed the port match, with what its adapter gave.
    struct Candidate {
        SP_DEVINFO_DATA device;
        int channel;
        std::optional<std::string> adapterId;  // nullopt when it did not read back
    };

    void Walk(Purpose purpose);
    bool TryPort(SP_DEVINFO_DATA& device, int channel, Purpose purpose);
    void Settle(const Candidate& port);

    int port_;
    int productId_ = -1;
    int channel_ = -1;
    std::string adapterId_;
    std::optional<std::string> devicePath_;
    PortKeys keys_;

    platform::DeviceList ports_;
    platform::DeviceList allDevices_;
    bool allDevicesFailed_ = false;
    // The first port the product lookup alone would settle on: a change
    // that finds no device path falls back to it.
    std::optional<Candidate> lookupPort_;
};

}  // namespace portopt

#endif
