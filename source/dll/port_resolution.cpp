// The one walk of the ports list behind every exported call.  For each
// port whose friendly name carries the COM number it applies the rest of
// the port match (status, parent, parent ID), looks the adapter's product
// up on the all-devices list and, for a change, finds the adapter's device
// path; it stops at the first port that gives the call all it needs.
#include "port_resolution.h"

#include "adapter_channel.h"
#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"

namespace portopt {

PortResolution PortResolution::Resolve(int port, Purpose purpose) {
    PortResolution resolution(port);
    resolution.ports_ =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    if (!resolution.ports_) {
        resolution.productId_ = kNoDeviceLists;
        return resolution;
    }
    resolution.keys_.list = resolution.ports_.get();
    resolution.Walk(purpose);
    return resolution;
}

void PortResolution::Walk(Purpose purpose) {
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports_.get(), index, device); ++index) {
        const std::optional<std::string> name = platform::ReadFriendlyName(ports_.get(), device);
        int channel = kNoChannel;
        if (!name || ParseFriendlyName(*name, channel) != port_) continue;
        // Every port the name claims is a place the settings may live in,
        // should none of them resolve.
        keys_.devices.push_back(device);
        if (TryPort(device, channel, purpose)) return;
    }
    // No port gave all the call needs.  A change whose adapter has no device
    // path still belongs to the port its product was looked up on.
    if (lookupPort_) {
        Settle(*lookupPort_);
    } else if (allDevicesFailed_) {
        productId_ = kNoDeviceLists;
    }
}

// The rest of the port match and the adapter steps for one port whose name
// carries the COM number; true once the port gives all the call needs.
bool PortResolution::TryPort(SP_DEVINFO_DATA& device, int channel, Purpose purpose) {
    if (allDevicesFailed_) return false;
    const std::optional<PortMatch> match = MatchParent(device.DevInst);
    if (!match) return false;
    if (!allDevices_) {
        allDevices_ = platform::GetDeviceList(nullptr, platform::kPresentInterfacesAnyClass);
        if (!allDevices_) {
            allDevicesFailed_ = true;
            return false;
        }
    }
    SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
    if (!platform::OpenDeviceInfo(allDevices_.get(), match->parentInstanceId, adapter)) {
        return false;
    }
    const Candidate candidate{
        device, channel,
        platform::ReadDeviceInstanceId(allDevices_.get(), adapter, kInstanceIdBufferSize)};
    if (candidate.adapterId && !lookupPort_) lookupPort_ = candidate;
    if (purpose == Purpose::kQuery) {
        if (!candidate.adapterId) return false;
        Settle(candidate);
        return true;
    }
    std::optional<std::string> path = AdapterDevicePath(allDevices_.get(), adapter);
    if (!path) return false;
    Settle(candidate);
    devicePath_ = std::move(path);
    return true;
}

void PortResolution::Settle(const Candidate& port) {
    // An adapter whose instance ID does not read back has no product.
    productId_ = port.adapterId ? ProductIdOf(*port.adapterId) : kNoMatchingPort;
    adapterId_ = port.adapterId.value_or("");
    channel_ = port.channel;
    keys_.devices.assign(1, port.device);
}

}  // namespace portopt
