#include "port_scan.h"

#include "device_setup.h"
#include "guids.h"

namespace comlist {

namespace {

constexpr REGSAM kHardwareKeyRead = KEY_READ;  // 0x20019

// Lists the names of the device's COM-port interfaces.  False when `out`
// has no room left, which ends the whole scan.
bool ScanDevice(HDEVINFO list, SP_DEVINFO_DATA& device, NameArray& out) {
    for (DWORD member = 0;; ++member) {
        SP_DEVICE_INTERFACE_DATA iface = platform::NewInterfaceRecord();
        if (!SetupDiEnumDeviceInterfaces(list, &device, &platform::kComPortInterfaceGuid, member,
                                         &iface)) {
            return true;
        }
        const platform::RegistryKey key = platform::OpenHardwareKey(list, device, kHardwareKeyRead);
        if (!key) continue;
        PortName name;
        if (!ReadPortName(key.get(), name)) continue;
        if (!out.Append(name)) return false;
    }
}

// Every device of the list, in order.
void ScanDevices(HDEVINFO list, NameArray& out) {
    int failuresInRow = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = platform::NewDeviceRecord();
        if (!SetupDiEnumDeviceInfo(list, index, &device)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) return;
            if (++failuresInRow >= kMaxConsecutiveDeviceFailures) return;
            continue;
        }
        failuresInRow = 0;
        if (!ScanDevice(list, device, out)) return;
    }
}

}  // namespace

ScanResult ScanComPorts(NameArray& out) {
    const platform::DeviceList list = platform::GetDeviceListW(&platform::kComPortInterfaceGuid,
                                                               platform::kPresentInterfacesOfClass);
    // No list was made, so none is released: the code is still the one the
    // platform left.
    if (!list) return {false, GetLastError()};
    ScanDevices(list.get(), out);
    return {};
}

}  // namespace comlist
