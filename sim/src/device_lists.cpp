// Device lists: building, enumerating, opening by instance ID, releasing.
#include <cstring>

#include "device_list_access.h"
#include "text.h"
#include "win32_result.h"

namespace simwin::detail {

DeviceList* FindList(Machine& m, HDEVINFO list) {
    auto it = m.lists.find(HandleValue(list));
    return it == m.lists.end() ? nullptr : &it->second;
}

Device* DeviceOfRecord(Machine& m, const DeviceList& list, const SP_DEVINFO_DATA* record,
                       DWORD& error) {
    error = ERROR_INVALID_PARAMETER;
    if (!record) return nullptr;
    if (record->cbSize != sizeof(SP_DEVINFO_DATA)) {
        error = ERROR_INVALID_USER_BUFFER;
        return nullptr;
    }
    std::size_t slot = 0;
    if (!RecordSlot(list, record->Reserved, slot) || slot >= list.members.size() ||
        list.members[slot] != record->DevInst)
        return nullptr;
    return FindDevice(m, record->DevInst);
}

void FillDeviceRecord(const DeviceList& list, std::size_t index, const Device& device,
                      SP_DEVINFO_DATA& record) {
    record.ClassGuid = kPortsClass;
    record.DevInst = device.devInst;
    record.Reserved = RecordRef(list, index);
}

ULONG_PTR RecordRef(const DeviceList& list, std::size_t slot) {
    return (static_cast<ULONG_PTR>(list.handle) << 32) | (slot + 1);
}

bool RecordSlot(const DeviceList& list, ULONG_PTR ref, std::size_t& slot) {
    if ((ref >> 32) != (list.handle & 0xFFFFFFFFu) || (ref & 0xFFFFFFFFu) == 0) return false;
    slot = static_cast<std::size_t>(ref & 0xFFFFFFFFu) - 1;
    return true;
}

std::size_t AddToList(DeviceList& list, DEVINST devInst) {
    const auto [it, added] = list.memberSlots.emplace(devInst, list.members.size());
    if (added) list.members.push_back(devInst);
    return it->second;
}

std::size_t MemberSlot(const DeviceList& list, DEVINST devInst) {
    auto it = list.memberSlots.find(devInst);
    return it == list.memberSlots.end() ? list.members.size() : it->second;
}

std::size_t InterfaceSlot(DeviceList& list, const DeviceList::InterfaceKey& entry) {
    const auto [it, added] = list.interfaceSlots.emplace(entry, list.interfaces.size());
    if (added) list.interfaces.push_back(entry);
    return it->second;
}

bool InScope(const DeviceList& list, const GUID& interfaceClass) {
    if (!list.interfaceMode) return false;
    return !list.interfaceClass ||
           std::memcmp(&*list.interfaceClass, &interfaceClass, sizeof(GUID)) == 0;
}

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool HasInterface(const Device& d, const GUID* cls) {
    for (const DeviceInterface& i : d.interfaces)
        if (!cls || SameGuid(i.interfaceClass, *cls)) return true;
    return false;
}

// In interface mode the enumerator names one device instance; otherwise it
// names the enumerator, the first component of the instance ID.
bool EnumeratorMatches(const Device& d, const std::string& enumerator, bool interfaceMode) {
    if (enumerator.empty()) return true;
    if (interfaceMode) return SameName(d.instanceId, enumerator);
    return SameName(d.instanceId.substr(0, d.instanceId.find('\\')), enumerator);
}

bool Selected(const Device& d, const GUID* cls, const std::string& enumerator, DWORD flags) {
    const bool interfaceMode = flags & DIGCF_DEVICEINTERFACE;
    const bool allClasses = flags & DIGCF_ALLCLASSES;
    if ((flags & DIGCF_PRESENT) && !d.present) return false;
    if (!EnumeratorMatches(d, enumerator, interfaceMode)) return false;
    if (interfaceMode) return HasInterface(d, allClasses ? nullptr : cls);
    // Every simulated device belongs to the Ports setup class.
    return allClasses || SameGuid(*cls, kPortsClass);
}

// Adds the devices the flags and the enumerator select.  An instance ID as
// the enumerator (interface mode) names at most one device, which is
// looked up directly rather than among all devices.
void SelectDevices(Machine& m, DeviceList& list, const GUID* cls, const std::string& enumerator,
                   DWORD flags) {
    if (list.interfaceMode && !enumerator.empty()) {
        const Device* d = FindDevice(m, enumerator);
        if (d && Selected(*d, cls, enumerator, flags)) AddToList(list, d->devInst);
        return;
    }
    for (const Device& d : m.devices)
        if (Selected(d, cls, enumerator, flags)) AddToList(list, d.devInst);
}

HDEVINFO GetClassDevs(const char* operation, const GUID* cls, const std::string& enumerator,
                      DWORD flags) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, operation)) return FailHandle(fault);
    if (!cls && !(flags & DIGCF_ALLCLASSES)) return FailHandle(ERROR_INVALID_PARAMETER);
    DeviceList list;
    list.handle = NewHandleValue();
    list.interfaceMode = flags & DIGCF_DEVICEINTERFACE;
    if (!(flags & DIGCF_ALLCLASSES)) list.interfaceClass = *cls;
    SelectDevices(*m, list, cls, enumerator, flags);
    list.builtWith = list.members.size();
    m->builtLists.push_back({flags, enumerator, static_cast<int>(list.members.size())});
    const std::uintptr_t handle = list.handle;
    m->lists.emplace(handle, std::move(list));
    return AsHandle<HDEVINFO>(handle);
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND, DWORD Flags) {
    return GetClassDevs("SetupDiGetClassDevsA", ClassGuid, Enumerator ? Enumerator : "", Flags);
}

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND, DWORD Flags) {
    return GetClassDevs("SetupDiGetClassDevsW", ClassGuid, NarrowName(Enumerator), Flags);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    auto m = Access();
    DWORD fault = CountCall(*m, "SetupDiDestroyDeviceInfoList");
    if (m->lists.erase(HandleValue(DeviceInfoSet)) == 0) return FailWith(ERROR_INVALID_HANDLE);
    if (fault) return FailWith(fault);
    // SetupAPI reports success here by clearing the thread's code (seen on
    // Wine); callers must set their own codes after releasing their lists.
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiEnumDeviceInfo")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    if (!DeviceInfoData) return FailWith(ERROR_INVALID_PARAMETER);
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    if (MemberIndex >= list->members.size()) return FailWith(ERROR_NO_MORE_ITEMS);
    FillDeviceRecord(*list, MemberIndex, *FindDevice(*m, list->members[MemberIndex]),
                     *DeviceInfoData);
    return TRUE;
}

BOOL WINAPI SetupDiOpenDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceInstanceId, HWND,
                                   DWORD OpenFlags, PSP_DEVINFO_DATA DeviceInfoData) {
    constexpr DWORD kKnownFlags = DIOD_INHERIT_CLASSDRVS | DIOD_CANCEL_REMOVE;
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiOpenDeviceInfoA")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    if (!DeviceInstanceId) return FailWith(ERROR_INVALID_PARAMETER);
    if (OpenFlags & ~kKnownFlags) return FailWith(ERROR_INVALID_FLAGS);
    if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return FailWith(ERROR_INVALID_USER_BUFFER);
    Device* device = FindDevice(*m, std::string(DeviceInstanceId));
    if (!device) return FailWith(ERROR_NO_SUCH_DEVINST);
    std::size_t index = AddToList(*list, device->devInst);
    if (DeviceInfoData) FillDeviceRecord(*list, index, *device, *DeviceInfoData);
    SetLastError(ERROR_SUCCESS);  // as SetupAPI does on this success
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                        PDWORD RequiredSize) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "SetupDiGetDeviceInstanceIdA")) return FailWith(fault);
    DeviceList* list = FindList(*m, DeviceInfoSet);
    if (!list) return FailWith(ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Device* device = DeviceOfRecord(*m, *list, DeviceInfoData, error);
    if (!device) return FailWith(error);
    const std::string& id = device->instanceId;
    const DWORD needed = static_cast<DWORD>(id.size() + 1);
    if (!DeviceInstanceId && DeviceInstanceIdSize != 0) return FailWith(ERROR_INVALID_USER_BUFFER);
    if (RequiredSize) *RequiredSize = needed;
    if (DeviceInstanceIdSize < needed) {
        // A short buffer gets what fits, with no terminator.
        if (DeviceInstanceId) std::memcpy(DeviceInstanceId, id.data(), DeviceInstanceIdSize);
        return FailWith(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(DeviceInstanceId, id.c_str(), needed);
    return TRUE;
}
}
