#include "adapter_lookup.h"

#include "adapter_channel.h"
#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"

namespace portopt {

AdapterLookup LookUpAdapter(const std::string& instanceId, bool withDevicePath) {
    AdapterLookup found;
    const platform::DeviceList list = platform::GetDeviceList(
        &platform::kPortsClassGuid, instanceId.c_str(), platform::kPresentInterfacesOfClass);
    if (!list) return found;
    found.listBuilt = true;
    // Finds the adapter in its list, or adds it there.
    SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
    if (!platform::OpenDeviceInfo(list.get(), instanceId, adapter)) return found;
    found.instanceId = platform::ReadDeviceInstanceId(list.get(), adapter, kInstanceIdBufferSize);
    if (withDevicePath) found.devicePath = AdapterDevicePath(list.get(), adapter);
    return found;
}

const AdapterLookup& AdapterLookups::LookUp(const std::string& instanceId, bool withDevicePath) {
    const auto key = std::make_pair(instanceId, withDevicePath);
    auto found = done_.find(key);
    if (found == done_.end()) {
        found = done_.emplace(key, LookUpAdapter(instanceId, withDevicePath)).first;
    }
    return found->second;
}

}  // namespace portopt
