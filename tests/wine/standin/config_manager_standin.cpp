#include "config_manager_standin.h"

#include <setupapi.h>
#include <cfgmgr32.h>

#include <optional>
#include <string>

#include "device_records.h"
#include "import_patch.h"

namespace standin {

namespace {

// Status flags of a node the fixture gave none: driver loaded, started.
constexpr ULONG kStartedNode = DN_DRIVER_LOADED | DN_STARTED;

// Parents' nodes come from one device list kept open for the process: Wine
// numbers a node within the list that opened it, and the number is good
// only while that list lives.
SRWLOCK parentListLock = SRWLOCK_INIT;
HDEVINFO parentList = INVALID_HANDLE_VALUE;

std::optional<std::string> InstanceIdOf(DEVINST node) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDA(node, id, sizeof(id) - 1, 0) != CR_SUCCESS) return std::nullopt;
    return std::string(id);
}

std::optional<DEVINST> NodeOf(const std::string& instanceId) {
    AcquireSRWLockExclusive(&parentListLock);
    if (parentList == INVALID_HANDLE_VALUE) {
        parentList = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    const bool opened = parentList != INVALID_HANDLE_VALUE &&
                        SetupDiOpenDeviceInfoA(parentList, instanceId.c_str(), nullptr, 0, &device);
    ReleaseSRWLockExclusive(&parentListLock);
    if (!opened) return std::nullopt;
    return device.DevInst;
}

}  // namespace

CONFIGRET WINAPI GetParent(PDEVINST parent, DEVINST node, ULONG flags) {
    if (!parent) return CR_INVALID_POINTER;
    if (flags != 0) return CR_INVALID_FLAG;
    const DWORD error = GetLastError();  // configuration-manager calls leave it alone
    std::optional<DEVINST> found;
    if (const auto id = InstanceIdOf(node)) {
        if (const auto parentId = RecordedParent(*id)) found = NodeOf(*parentId);
    }
    SetLastError(error);
    if (!found) return CR_NO_SUCH_DEVNODE;
    *parent = *found;
    return CR_SUCCESS;
}

CONFIGRET WINAPI GetDevNodeStatus(PULONG status, PULONG problem, DEVINST node, ULONG flags) {
    if (!status || !problem) return CR_INVALID_POINTER;
    if (flags != 0) return CR_INVALID_FLAG;
    const DWORD error = GetLastError();
    const auto id = InstanceIdOf(node);
    const auto recorded = id ? RecordedStatus(*id) : std::nullopt;
    SetLastError(error);
    if (!id) return CR_NO_SUCH_DEVNODE;
    *status = recorded.value_or(kStartedNode);
    *problem = 0;
    return CR_SUCCESS;
}

bool InstallConfigManagerStandIn(HMODULE module) {
    const int parents =
        ReplaceImport(module, "CM_Get_Parent", reinterpret_cast<const void*>(&GetParent));
    const int statuses = ReplaceImport(module, "CM_Get_DevNode_Status",
                                       reinterpret_cast<const void*>(&GetDevNodeStatus));
    return parents + statuses > 0;
}

void ForgetParentNodes() {
    AcquireSRWLockExclusive(&parentListLock);
    if (parentList != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(parentList);
    parentList = INVALID_HANDLE_VALUE;
    ReleaseSRWLockExclusive(&parentListLock);
}

}  // namespace standin
