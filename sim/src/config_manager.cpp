// Configuration-manager calls on device nodes.  They return a CONFIGRET and
// leave the last-error code alone.  A node that is not present is not in
// the device tree: its status and parent answer CR_NO_SUCH_DEVNODE like an
// unknown node, though its instance ID can still be read.  A node number
// is known only while a device list that handed it out lives.
#include <cstring>

#include "machine_state.h"

using namespace simwin::detail;

namespace {

// Looks up a node for a CM_* call; `result` is CR_SUCCESS when found.
Device* LiveNode(Machine& m, DEVINST node, CONFIGRET& result, bool mustBePresent = true) {
    result = CR_SUCCESS;
    if (node == 0) {
        result = CR_INVALID_DEVNODE;
        return nullptr;
    }
    Device* d = NodeIssued(m, node) ? FindDevice(m, node) : nullptr;
    if (!d || (mustBePresent && !d->present)) result = CR_NO_SUCH_DEVNODE;
    return result == CR_SUCCESS ? d : nullptr;
}

}  // namespace

extern "C" {

CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst,
                                       ULONG ulFlags) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CM_Get_DevNode_Status")) return fault;
    if (!pulStatus || !pulProblemNumber) return CR_INVALID_POINTER;
    if (ulFlags != 0) return CR_INVALID_FLAG;
    CONFIGRET result;
    Device* d = LiveNode(*m, dnDevInst, result);
    if (!d) return result;
    *pulStatus = d->status;
    *pulProblemNumber = 0;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CM_Get_Parent")) return fault;
    if (!pdnDevInst) return CR_INVALID_POINTER;
    if (ulFlags != 0) return CR_INVALID_FLAG;
    CONFIGRET result;
    Device* d = LiveNode(*m, dnDevInst, result);
    if (!d) return result;
    Device* parent = d->parentId.empty() ? nullptr : FindDevice(*m, d->parentId);
    if (!parent) return CR_NO_SUCH_DEVNODE;
    // The parent's number is good as long as the child's is.
    for (auto& [handle, list] : m->lists)
        if (HandedOut(list, dnDevInst)) list.parents.insert(parent->devInst);
    *pdnDevInst = parent->devInst;
    return CR_SUCCESS;
}

// Like Windows, a short buffer receives as much of the ID as fits, without
// a terminator, along with CR_BUFFER_SMALL.
CONFIGRET WINAPI CM_Get_Device_IDA(DEVINST dnDevInst, PSTR Buffer, ULONG BufferLen, ULONG ulFlags) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CM_Get_Device_IDA")) return fault;
    if (!Buffer) return CR_INVALID_POINTER;
    if (ulFlags != 0) return CR_INVALID_FLAG;
    CONFIGRET result;
    Device* d = LiveNode(*m, dnDevInst, result, false);
    if (!d) return result;
    const std::string& id = d->instanceId;
    if (BufferLen < id.size() + 1) {
        std::memcpy(Buffer, id.data(), BufferLen);
        return CR_BUFFER_SMALL;
    }
    std::memcpy(Buffer, id.c_str(), id.size() + 1);
    return CR_SUCCESS;
}
}
