#include "adapter_lookup.h"

#include "adapter_channel.h"
#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"

namespace portopt {

namespace {

// Finds the adapter in `list`, or adds it there, and reads it back.
AdapterLookup ReadBack(HDEVINFO list, const std::string& instanceId, bool withDevicePath) {
    AdapterLookup found;
    found.listBuilt = true;
    SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
    if (!platform::OpenDeviceInfo(list, instanceId, adapter)) return found;
    found.instanceId = platform::ReadDeviceInstanceId(list, adapter, kInstanceIdBufferSize);
    if (withDevicePath) found.devicePath = AdapterDevicePath(list, adapter);
    return found;
}

}  // namespace

AdapterLookup LookUpAdapter(const std::string& instanceId, bool withDevicePath) {
    const platform::DeviceList list = platform::GetDeviceList(
        &platform::kPortsClassGuid, instanceId.c_str(), platform::kPresentInterfacesOfClass);
    if (!list) return AdapterLookup{};
    return ReadBack(list.get(), instanceId, withDevicePath);
}

AdapterLookup LookUpAdapterIn(HDEVINFO ports, const std::string& instanceId) {
    return ReadBack(ports, instanceId, false);
}

const AdapterLookup& AdapterLookups::LookUp(const std::string& instanceId, bool withDevicePath) {
    const auto key = std::make_pair(instanceId, withDevicePath);
    auto found = done_.find(key);
    if (found == done_.end()) {
        AdapterLookup lookup = ports_ && !withDevicePath
                                   ? LookUpAdapterIn(ports_, instanceId)
                                   : LookUpAdapter(instanceId, withDevicePath);
        found = done_.emplace(key, std::move(lookup)).first;
    }
    return found->second;
}

}  // namespace portopt
