// The state of the one simulated machine in this process and the lock that
// guards it.  Win32 entry points take the lock through Access() and keep it
// only while they touch the state; nothing blocks while holding it.
#ifndef SIMWIN_SRC_MACHINE_STATE_H
#define SIMWIN_SRC_MACHINE_STATE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "mutex_object.h"
#include "registry_tree.h"
#include "simwin/machine.h"

namespace simwin::detail {

struct DeviceInterface {
    GUID interfaceClass;
    std::string devicePath;
};

struct Device {
    std::string instanceId;
    std::string parentId;  // empty: no parent
    DEVINST devInst = 0;
    bool present = true;
    ULONG status = DN_DRIVER_LOADED | DN_STARTED;
    std::optional<Bytes> friendlyName;
    std::vector<DeviceInterface> interfaces;
    bool restartNeedsReboot = false;  // SetRestartNeedsReboot()
    std::vector<Restart> restarts;    // each restart, as the device found itself
};

// A device list: a snapshot of device nodes, by DEVINST, in list order,
// and the interfaces that records were handed out for (device, position of
// the interface on the device).  The slot maps index both vectors, so that
// finding a member or an interface record never walks the whole list.
//
// A list holds only the interfaces of the class it was built for (every
// class for DIGCF_ALLCLASSES, none without DIGCF_DEVICEINTERFACE), and only
// of the devices it was built with: a device added to it later (by
// SetupDiOpenDeviceInfo) brings no interfaces into it.  Node numbers are good only while a list
// that handed them out lives: its members' and the parents read through them.
struct DeviceList {
    using InterfaceKey = std::pair<DEVINST, std::size_t>;
    std::uintptr_t handle = 0;
    std::vector<DEVINST> members;
    std::unordered_map<DEVINST, std::size_t> memberSlots;
    std::vector<InterfaceKey> interfaces;
    std::map<InterfaceKey, std::size_t> interfaceSlots;
    bool interfaceMode = false;
    std::optional<GUID> interfaceClass;   // none: every class (in interface mode)
    std::size_t builtWith = 0;            // members [0, builtWith) hold their interfaces
    std::unordered_set<DEVINST> parents;  // parent numbers read through members
    // Per member: the class-install parameters set, and the install flags
    // (DI_NEEDREBOOT) its class installer left.
    std::map<DEVINST, SP_PROPCHANGE_PARAMS> propertyChanges;
    std::map<DEVINST, DWORD> installFlags;
};

struct KeyHandle {
    std::shared_ptr<RegKey> key;
    REGSAM access = 0;
};

struct FileHandle {
    std::string devicePath;  // lower case
    bool reads = false, writes = false;
    DWORD shareMode = 0;
};

struct MutexHandle {
    std::shared_ptr<MutexObject> mutex;
    std::string name;  // empty for an unnamed mutex
    DWORD access = MUTEX_ALL_ACCESS;
};

// What the driver behind a device path does with opens and requests.
struct Driver {
    std::optional<DWORD> openError;
    DWORD rejectError = 0;
    int acceptBeforeRejecting = 0;
    std::vector<Request> requests;
    std::vector<Request> accepted;
};

struct Fault {
    std::string operation;
    int atCall = 0;  // the operation's call count that fails
    DWORD error = 0;
};

struct Machine {
    std::vector<Device> devices;  // in the order added; never removed
    // Positions in `devices`, by lower-case instance ID and by node number.
    std::unordered_map<std::string, std::size_t> deviceById;
    std::unordered_map<DEVINST, std::size_t> deviceByNode;
    std::shared_ptr<RegKey> registry = NewRegistryRoot();
    std::map<std::string, REGSAM> restrictions;  // by lower-case key path
    std::map<std::string, Driver> drivers;       // by lower-case device path
    bool elevated = true;

    std::unordered_map<std::uintptr_t, DeviceList> lists;
    std::unordered_map<std::uintptr_t, KeyHandle> keys;
    std::unordered_map<std::uintptr_t, FileHandle> files;
    std::unordered_map<std::uintptr_t, MutexHandle> mutexes;
    std::unordered_map<std::uintptr_t, DWORD> tokens;                // access granted, by handle
    std::unordered_set<std::uintptr_t> comDatabases;                 // ComDBOpen handles
    std::map<std::string, std::weak_ptr<MutexObject>> namedMutexes;  // exact names
    std::unordered_map<void*, std::size_t> allocations;
    // Security descriptors handed out, by block, in their string form.
    std::map<void*, std::string> securityDescriptors;

    std::map<std::string, int> calls;
    std::vector<std::string> callOrder;
    std::vector<BuiltList> builtLists;
    std::vector<Fault> faults;
    std::map<std::string, int> pauses;  // microseconds, by operation
    std::optional<DWORD> longestWait;   // ShortenWaits()
};

class MachineAccess {
public:
    MachineAccess();
    Machine* operator->() { return machine_; }
    Machine& operator*() { return *machine_; }

private:
    std::unique_lock<std::mutex> lock_;
    Machine* machine_;
};

// Locks the machine for the lifetime of the returned object.
inline MachineAccess Access() { return MachineAccess(); }

// A fresh handle value: never zero, never INVALID_HANDLE_VALUE, never one
// of the predefined registry keys, and never reused within the process, so
// a handle from before a Reset() stays invalid.
std::uintptr_t NewHandleValue();
template <typename T>
T AsHandle(std::uintptr_t v) {
    return reinterpret_cast<T>(v);
}
template <typename T>
std::uintptr_t HandleValue(T h) {
    return reinterpret_cast<std::uintptr_t>(h);
}

// Devices by instance ID (case-insensitive) or node number; null if none.
Device* FindDevice(Machine& m, const std::string& instanceId);
Device* FindDevice(Machine& m, DEVINST devInst);
// Appends a device and indexes it; the caller has checked that its
// instance ID is new.
void AppendDevice(Machine& m, Device device);
// The same, throwing std::invalid_argument for the test API.
Device& DeviceOrThrow(Machine& m, const std::string& instanceId);

// Whether `list` handed out a node number, and whether some live list did
// (which is when the number is good).
bool HandedOut(const DeviceList& list, DEVINST devInst);
bool NodeIssued(const Machine& m, DEVINST devInst);

// Sleeps as long as PauseBefore() asked, without holding the machine lock,
// so that other threads' calls run meanwhile.
void PauseBeforeCall(const char* operation);

// Counts a call of `operation` and reports whether an injected fault makes
// this call fail; returns the error to report (defaults applied) or 0.
DWORD CountCall(Machine& m, const char* operation);

}  // namespace simwin::detail

#endif
