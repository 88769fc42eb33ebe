// The walk of the ports list behind every exported call.  Each device whose
// friendly name carries a COM number is offered to that number's resolver,
// which applies the rest of the port match, looks the adapter up by itself
// and, for a change, finds the adapter's device path.  A one-port call
// stops at the first port that gives it all it needs; the all-ports call
// walks the whole list once and offers each COM number's ports to its own
// resolver, looking each adapter up once however many ports it carries.
#include "port_resolution.h"

#include <map>
#include <utility>
#include <vector>

#include "adapter_lookup.h"
#include "guids.h"

namespace portopt {

namespace {

platform::DeviceList PortsList() {
    return platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
}

}  // namespace

PortResolver::PortResolver(int port, Purpose purpose, HDEVINFO ports, AdapterLookups& adapters)
    : purpose_(purpose), adapters_(&adapters) {
    result_.port = port;
    result_.keys.list = ports;
}

bool PortResolver::Offer(const SP_DEVINFO_DATA& device, int channel) {
    // Every port the name claims is a place the settings may live in,
    // should none of them resolve.
    result_.keys.devices.push_back(device);
    if (listFailed_) return false;
    const std::optional<PortMatch> match = MatchParent(device.DevInst);
    if (!match) return false;

    const AdapterLookup& adapter =
        adapters_->LookUp(match->parentInstanceId, purpose_ == Purpose::kChange);
    if (!adapter.listBuilt) {
        listFailed_ = true;
        return false;
    }
    const Candidate candidate{device, channel, adapter.instanceId};
    if (candidate.adapterId && !lookupPort_) lookupPort_ = candidate;
    if (purpose_ == Purpose::kQuery) {
        if (!candidate.adapterId) return false;
        ResolveTo(candidate);
        return true;
    }
    if (!adapter.devicePath) return false;
    ResolveTo(candidate);
    result_.devicePath = adapter.devicePath;
    return true;
}

ResolvedPort PortResolver::Finish() {
    // No port gave all the call needs.  A change whose adapter has no device
    // path still belongs to the port its product was looked up on.
    if (!resolved_ && lookupPort_) {
        ResolveTo(*lookupPort_);
    } else if (!resolved_ && listFailed_) {
        result_.productId = kNoDeviceLists;
    }
    return std::move(result_);
}

void PortResolver::ResolveTo(const Candidate& candidate) {
    resolved_ = true;
    // An adapter whose instance ID does not read back has no product.
    result_.productId = candidate.adapterId ? ProductIdOf(*candidate.adapterId) : kNoMatchingPort;
    result_.adapterId = candidate.adapterId.value_or("");
    result_.channel = candidate.channel;
    result_.keys.devices.assign(1, candidate.device);
}

PortResolution PortResolution::Resolve(int port, Purpose purpose) {
    PortResolution resolution;
    resolution.ports_ = PortsList();
    if (!resolution.ports_) {
        resolution.port_.port = port;
        resolution.port_.productId = kNoDeviceLists;
        return resolution;
    }
    AdapterLookups adapters;
    PortResolver resolver(port, purpose, resolution.ports_.get(), adapters);
    WalkPortsList(resolution.ports_.get(), [&](int carried, SP_DEVINFO_DATA& device, int channel) {
        return carried != port || !resolver.Offer(device, channel);
    });
    resolution.port_ = resolver.Finish();
    return resolution;
}

AllPortsResolution AllPortsResolution::Resolve() {
    AllPortsResolution all;
    all.ports_ = PortsList();
    if (!all.ports_) return all;
    // The whole walk first: each COM number's ports, in list order.
    struct Carrier {
        SP_DEVINFO_DATA device;
        int channel;
    };
    std::map<int, std::vector<Carrier>> carriers;
    WalkPortsList(all.ports_.get(), [&](int port, SP_DEVINFO_DATA& device, int channel) {
        carriers[port].push_back({device, channel});
        return true;
    });
    // Then each number resolved, in ascending order.  The adapters are
    // looked up in the ports list itself (an adapter added to it comes
    // after the ports, which have all been walked), each once.
    AdapterLookups adapters(all.ports_.get());
    for (const auto& [port, devices] : carriers) {
        PortResolver resolver(port, Purpose::kQuery, all.ports_.get(), adapters);
        for (const Carrier& carrier : devices) {
            if (resolver.Offer(carrier.device, carrier.channel)) break;
        }
        all.result_.push_back(resolver.Finish());
    }
    return all;
}

}  // namespace portopt
