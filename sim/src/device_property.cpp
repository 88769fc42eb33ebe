// Device registry properties.  Only the friendly name is modelled; every
// other property reads as absent.
#include <cstring>

#include "device_list_access.h"
#include "win32_result.h"

using namespace simwin::detail;

extern "C" {

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiGetDeviceRegistryPropertyA")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Device* device = DeviceOfRecord(*m, *list, DeviceInfoData, error);
    if (!device) return FailWith(error);
    if (Property >= SPDRP_MAXIMUM_PROPERTY) return FailWith(ERROR_INVALID_REG_PROPERTY);
    if (!PropertyBuffer && PropertyBufferSize != 0) return FailWith(ERROR_INVALID_DATA);
    if (Property != SPDRP_FRIENDLYNAME || !device->friendlyName)
        return FailWith(ERROR_INVALID_DATA);

    // The name is handed back exactly as stored, terminated or not.
    const simwin::Bytes& name = *device->friendlyName;
    const DWORD size = static_cast<DWORD>(name.size());
    if (PropertyRegDataType) *PropertyRegDataType = REG_SZ;
    if (RequiredSize) *RequiredSize = size;
    if (PropertyBufferSize < size) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    if (size) std::memcpy(PropertyBuffer, name.data(), size);
    return TRUE;
}
}
