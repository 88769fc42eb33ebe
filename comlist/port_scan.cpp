#include "port_scan.h"

#include <cstdio>

#include "device_setup.h"
#include "guids.h"

namespace comlist {

namespace {

constexpr REGSAM kHardwareKeyRead = KEY_READ;  // 0x20019

void ReportNoDeviceList() {
    std::fputs("SetupDiGetClassDevs failed.\n", stdout);
    std::fflush(stdout);
}

// Lists the names of the device's COM-port interfaces.  False when `out`
// has no room left, which ends the whole scan.
bool ScanDevice(HDEVINFO list, SP_DEVINFO_DATA& device, NameArray& out) {
    for (DWORD member = 0;; ++member) {
        SP_DEVICE_INTERFACE_DATA iface = platform::NewInterfaceRecord();
        if (!SetupDiEnumDeviceInterfaces(list, &device, &platform::kComPortInterfaceGuid, member,
                                         &iface)) {
            return true;
        }
        const platform::RegistryKey key =
            platform::OpenHardwareKey(list, device, kHardwareKeyRead);
        if (!key) continue;
        PortName name;
        if (!ReadPortName(key.get(), name)) continue;
        if (!out.Append(name)) return false;
    }
}

}  // namespace

void ScanComPorts(NameArray& out) {
    const platform::DeviceList list = platform::GetDeviceListW(
        &platform::kComPortInterfaceGuid, platform::kPresentInterfacesOfClass);
    if (!list) {
        ReportNoDeviceList();
        return;
    }
    int failuresInRow = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = platform::NewDeviceRecord();
        if (!SetupDiEnumDeviceInfo(list.get(), index, &device)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) return;
            if (++failuresInRow >= kMaxConsecutiveDeviceFailures) return;
            continue;
        }
        failuresInRow = 0;
        if (!ScanDevice(list.get(), device, out)) return;
    }
}

}  // namespace comlist
