// Changing a device: its friendly name, and its restart through the class
// installer (DIF_PROPERTYCHANGE with DICS_PROPCHANGE), which the device's
// log of restarts records with the names the device came back under.  Both
// need the rights to change the machine: a caller that is not elevated gets
// ERROR_ACCESS_DENIED.
#include <algorithm>
#include <cstring>

#include "device_list_access.h"
#include "registry_tree.h"
#include "text.h"
#include "win32_result.h"

namespace simwin::detail {
namespace {

// The text of a stored string value, or "" when there is none.
std::string StoredText(Machine& m, const std::string& keyPath, const char* name) {
    auto key = FindKey(m.registry, keyPath);
    if (!key) return "";
    auto it = key->values.find(name);
    if (it == key->values.end()) return "";
    const Bytes text = Narrow(it->second.data.data(), it->second.data.size());
    return std::string(text.begin(), std::find(text.begin(), text.end(), 0));
}

std::string FriendlyText(const Device& device) {
    if (!device.friendlyName) return "";
    const Bytes& raw = *device.friendlyName;
    return std::string(raw.begin(), std::find(raw.begin(), raw.end(), 0));
}

// The list and the device a record names, or the error to fail with.
struct Target {
    DeviceList* list = nullptr;
    Device* device = nullptr;
    DWORD error = 0;
};

// Counts a call of `operation` and finds what it names; `error` is the
// injected fault's, if any.
Target TargetOf(Machine& m, const char* operation, HDEVINFO set, PSP_DEVINFO_DATA record) {
    Target t;
    if ((t.error = CountCall(m, operation)) != 0) return t;
    t.list = FindList(m, set);
    if (!t.list) {
        t.error = ERROR_INVALID_HANDLE;
        return t;
    }
    t.device = DeviceOfRecord(m, *t.list, record, t.error);
    return t;
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;
using simwin::Bytes;

namespace simwin {

std::vector<Restart> Restarts(const std::string& instanceId) {
    auto m = Access();
    return DeviceOrThrow(*m, instanceId).restarts;
}

void SetRestartNeedsReboot(const std::string& instanceId, bool needsReboot) {
    auto m = Access();
    DeviceOrThrow(*m, instanceId).restartNeedsReboot = needsReboot;
}

}  // namespace simwin

extern "C" {

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer,
                                              DWORD PropertyBufferSize) {
    auto m = Access();
    const Target t = TargetOf(*m, "SetupDiSetDeviceRegistryPropertyA", DeviceInfoSet, DeviceInfoData);
    if (!t.device) return FailWith(t.error);
    if (Property >= SPDRP_MAXIMUM_PROPERTY) return FailWith(ERROR_INVALID_REG_PROPERTY);
    // Only the friendly name is simulated.
    if (Property != SPDRP_FRIENDLYNAME) return FailWith(ERROR_INVALID_PARAMETER);
    if (!PropertyBuffer && PropertyBufferSize != 0) return FailWith(ERROR_INVALID_PARAMETER);
    if (!m->elevated) return FailWith(ERROR_ACCESS_DENIED);
    if (PropertyBufferSize == 0) {
        t.device->friendlyName.reset();  // an empty buffer deletes the property
    } else {
        t.device->friendlyName = Bytes(PropertyBuffer, PropertyBuffer + PropertyBufferSize);
    }
    return TRUE;
}

BOOL WINAPI SetupDiSetClassInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize) {
    auto m = Access();
    const Target t = TargetOf(*m, "SetupDiSetClassInstallParamsA", DeviceInfoSet, DeviceInfoData);
    if (!t.device) return FailWith(t.error);
    if (!ClassInstallParams) {
        t.list->propertyChanges.erase(t.device->devInst);
        return TRUE;
    }
    if (ClassInstallParams->cbSize != sizeof(SP_CLASSINSTALL_HEADER))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    if (ClassInstallParams->InstallFunction != DIF_PROPERTYCHANGE ||
        ClassInstallParamsSize != sizeof(SP_PROPCHANGE_PARAMS)) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    SP_PROPCHANGE_PARAMS params;
    std::memcpy(&params, ClassInstallParams, sizeof(params));
    t.list->propertyChanges[t.device->devInst] = params;
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    auto m = Access();
    const Target t = TargetOf(*m, "SetupDiCallClassInstaller", DeviceInfoSet, DeviceInfoData);
    if (!t.device) return FailWith(t.error);
    if (InstallFunction != DIF_PROPERTYCHANGE) return FailWith(ERROR_DI_DO_DEFAULT);
    auto params = t.list->propertyChanges.find(t.device->devInst);
    if (params == t.list->propertyChanges.end() ||
        params->second.StateChange != DICS_PROPCHANGE) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (!m->elevated) return FailWith(ERROR_ACCESS_DENIED);
    if (!t.device->present) return FailWith(ERROR_NO_SUCH_DEVINST);
    if (t.device->restartNeedsReboot) {
        t.list->installFlags[t.device->devInst] |= DI_NEEDREBOOT;
        return TRUE;
    }
    t.device->restarts.push_back(
        {StoredText(*m, simwin::HardwareKeyPath(t.device->instanceId), "PortName"),
         FriendlyText(*t.device)});
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           PSP_DEVINSTALL_PARAMS_A DeviceInstallParams) {
    auto m = Access();
    const Target t = TargetOf(*m, "SetupDiGetDeviceInstallParamsA", DeviceInfoSet, DeviceInfoData);
    if (!t.device) return FailWith(t.error);
    if (!DeviceInstallParams) return FailWith(ERROR_INVALID_PARAMETER);
    if (DeviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    std::memset(DeviceInstallParams, 0, sizeof(*DeviceInstallParams));
    DeviceInstallParams->cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
    auto flags = t.list->installFlags.find(t.device->devInst);
    if (flags != t.list->installFlags.end()) DeviceInstallParams->Flags = flags->second;
    return TRUE;
}

}  // extern "C"
