// Device interfaces: enumeration, the interface detail (device path), and
// the device's hardware registry key.
#include <cstddef>
#include <cstring>
#include <utility>

#include "device_list_access.h"
#include "registry_access.h"
#include "win32_result.h"

using namespace simwin::detail;

namespace {

struct InterfaceAt {
    Device* device = nullptr;
    std::size_t index = 0;      // the interface's position on the device
    std::size_t listIndex = 0;  // the device's position in the list
};

// The interface record's reference: a slot in the list's interface table.
ULONG_PTR InterfaceRef(DeviceList& list, const InterfaceAt& at) {
    return RecordRef(list, InterfaceSlot(list, {at.device->devInst, at.index}));
}

// The interface an interface record from `list` names.
InterfaceAt InterfaceOfRecord(Machine& m, DeviceList& list, const SP_DEVICE_INTERFACE_DATA& r) {
    std::size_t slot = 0;
    if (!RecordSlot(list, r.Reserved, slot) || slot >= list.interfaces.size()) return {};
    const auto [devInst, index] = list.interfaces[slot];
    Device* d = FindDevice(m, devInst);
    const std::size_t listIndex = MemberSlot(list, devInst);
    if (!d || index >= d->interfaces.size() || listIndex == list.members.size()) return {};
    return {d, index, listIndex};
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// The n-th interface of class `cls` on the device at `slot` of the list;
// counts the device's matches off `n`.
InterfaceAt NthOnMember(Machine& m, const DeviceList& list, std::size_t slot, const GUID& cls,
                        DWORD& n) {
    if (slot >= list.builtWith) return {};  // added later: no interfaces in this list
    Device* d = FindDevice(m, list.members[slot]);
    if (!d) return {};
    for (std::size_t k = 0; k < d->interfaces.size(); ++k)
        if (SameGuid(d->interfaces[k].interfaceClass, cls) && n-- == 0) return {d, k, slot};
    return {};
}

// The n-th interface of class `cls` on `only` (or across the list).
InterfaceAt NthInterface(Machine& m, const DeviceList& list, const Device* only, const GUID& cls,
                         DWORD n) {
    if (!InScope(list, cls)) return {};
    if (only) {
        const std::size_t slot = MemberSlot(list, only->devInst);
        return slot == list.members.size() ? InterfaceAt{} : NthOnMember(m, list, slot, cls, n);
    }
    for (std::size_t i = 0; i < list.members.size(); ++i)
        if (InterfaceAt found = NthOnMember(m, list, i, cls, n); found.device) return found;
    return {};
}

constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
constexpr DWORD kDevicePathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

}  // namespace

extern "C" {

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiEnumDeviceInterfaces")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    if (!InterfaceClassGuid || !DeviceInterfaceData) return FailWith(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    Device* only = nullptr;
    if (DeviceInfoData) {
        DWORD error = 0;
        only = DeviceOfRecord(*m, *list, DeviceInfoData, error);
        if (!only) return FailWith(error);
    }
    InterfaceAt found = NthInterface(*m, *list, only, *InterfaceClassGuid, MemberIndex);
    if (!found.device) return FailWith(ERROR_NO_MORE_ITEMS);
    DeviceInterfaceData->InterfaceClassGuid = *InterfaceClassGuid;
    DeviceInterfaceData->Flags = found.device->present ? SPINT_ACTIVE : 0;
    DeviceInterfaceData->Reserved = InterfaceRef(*list, found);
    return TRUE;
}

// The device record is filled whenever the interface is known, also when
// the buffer turns out too small, so the sizing call already yields it.
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiGetDeviceInterfaceDetailA")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    if (!DeviceInterfaceData) return FailWith(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    if (DeviceInterfaceDetailData ? DeviceInterfaceDetailData->cbSize != kDetailFixedSize
                                  : DeviceInterfaceDetailDataSize != 0)
        return FailWith(ERROR_INVALID_USER_BUFFER);
    if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    InterfaceAt at = InterfaceOfRecord(*m, *list, *DeviceInterfaceData);
    if (!at.device) return FailWith(ERROR_INVALID_PARAMETER);

    const std::string& path = at.device->interfaces[at.index].devicePath;
    const DWORD needed = kDevicePathOffset + static_cast<DWORD>(path.size()) + 1;
    if (RequiredSize) *RequiredSize = needed;
    if (DeviceInfoData) FillDeviceRecord(*list, at.listIndex, *at.device, *DeviceInfoData);
    if (DeviceInterfaceDetailDataSize < needed) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

// Only the hardware key (DIREG_DEV) of the global scope is modelled; the
// driver key and configuration-specific keys do not exist.
HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 DWORD Scope, DWORD HwProfile, DWORD KeyType, REGSAM samDesired) {
    const HKEY kFailed = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    auto fail = [&](DWORD error) {
        SetLastError(error);
        return kFailed;
    };
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiOpenDevRegKey")) return fail(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return fail(ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Device* device = DeviceOfRecord(*m, *list, DeviceInfoData, error);
    if (!device) return fail(error);
    if ((Scope != DICS_FLAG_GLOBAL && Scope != DICS_FLAG_CONFIGSPECIFIC) ||
        (KeyType != DIREG_DEV && KeyType != DIREG_DRV))
        return fail(ERROR_INVALID_FLAGS);
    (void)HwProfile;
    if (Scope != DICS_FLAG_GLOBAL || KeyType != DIREG_DEV) return fail(ERROR_KEY_DOES_NOT_EXIST);
    HKEY key = nullptr;
    const std::string path = simwin::HardwareKeyPath(device->instanceId);
    LSTATUS status = OpenKeyHandle(*m, m->registry, path.c_str(), samDesired, &key);
    if (status == ERROR_FILE_NOT_FOUND) return fail(ERROR_KEY_DOES_NOT_EXIST);
    if (status != ERROR_SUCCESS) return fail(static_cast<DWORD>(status));
    SetLastError(ERROR_SUCCESS);  // as SetupAPI does on this success
    return key;
}
}
