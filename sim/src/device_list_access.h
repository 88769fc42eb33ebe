// Looking up device lists and the device records callers pass back in.
// All functions expect the machine lock to be held.
#ifndef SIMWIN_SRC_DEVICE_LIST_ACCESS_H
#define SIMWIN_SRC_DEVICE_LIST_ACCESS_H

#include "machine_state.h"

namespace simwin::detail {

DeviceList* FindList(Machine& m, HDEVINFO list);

// The device that `record` names in `list`; on failure returns null and
// sets `error` (ERROR_INVALID_PARAMETER for a null record or one from
// another list, ERROR_INVALID_USER_BUFFER for a wrong cbSize).
Device* DeviceOfRecord(Machine& m, const DeviceList& list, const SP_DEVINFO_DATA* record,
                       DWORD& error);

// Fills `record` for member `index` of `list`.
void FillDeviceRecord(const DeviceList& list, std::size_t index, const Device& device,
                      SP_DEVINFO_DATA& record);

// The Reserved field of the records a list hands out: the list's handle in
// the high half and a 1-based slot in the low half, so that a record used
// with another list, or made up, is refused.
ULONG_PTR RecordRef(const DeviceList& list, std::size_t slot);
// The slot a Reserved field names in `list`, or false.
bool RecordSlot(const DeviceList& list, ULONG_PTR ref, std::size_t& slot);

// The index of `devInst` in `list`, appending it when missing.
std::size_t AddToList(DeviceList& list, DEVINST devInst);
// The index of `devInst` in `list`, or the list's size when missing.
std::size_t MemberSlot(const DeviceList& list, DEVINST devInst);
// The slot of an interface record in `list`, appending it when missing.
std::size_t InterfaceSlot(DeviceList& list, const DeviceList::InterfaceKey& entry);

// Whether `list` holds interfaces of `interfaceClass`.
bool InScope(const DeviceList& list, const GUID& interfaceClass);

}  // namespace simwin::detail

#endif
