#include "bare_scan.h"

#include "device_setup.h"
#include "guids.h"

namespace bench {

int BareScan() {
    const platform::DeviceList ports =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    if (!ports) return 0;
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    DWORD index = 0;
    while (platform::EnumDevice(ports.get(), index, device)) ++index;
    return static_cast<int>(index);
}

}  // namespace bench
