// The test side of the simulated Windows: builds the machine that the
// Win32 calls of simwin/win32.h then see, injects faults into those calls,
// and reports what the code under test left open.
//
// There is one machine per process, shared by every library loaded into it.
// All functions here are thread-safe.  Functions that name a device throw
// std::invalid_argument when no such device exists (AddDevice also for a
// duplicate instance ID or an unknown parent).
#ifndef SIMWIN_MACHINE_H
#define SIMWIN_MACHINE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simwin/win32.h"

namespace simwin {

using Bytes = std::vector<std::uint8_t>;

// Device-interface classes the libraries use.
inline constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// "SYSTEM\\CurrentControlSet\\Enum\\<instanceId>\\Device Parameters": the
// hardware key that SetupDiOpenDevRegKey(DIREG_DEV) opens for a device.
std::string HardwareKeyPath(const std::string& instanceId);

// Helpers for value data.
Bytes Dword(std::uint32_t v);            // 4 bytes, little-endian
Bytes Utf16z(const std::string& ascii);  // UTF-16LE with terminator
Bytes Ascii(const std::string& s, bool terminate = true);

struct Request {
    DWORD code = 0;
    Bytes input;
};

struct RegValue {
    DWORD type = REG_NONE;
    Bytes data;
};

// What the code under test holds open right now.
struct Outstanding {
    int lists = 0;        // device lists not destroyed
    int keys = 0;         // registry keys not closed (including device keys)
    int handles = 0;      // file, mutex and token handles not closed
    int allocations = 0;  // LocalAlloc blocks not freed
    bool Empty() const { return lists == 0 && keys == 0 && handles == 0 && allocations == 0; }
};
std::string Describe(const Outstanding& o);  // for test failure messages

// Resets the whole machine: no devices, an empty registry (but for
// HKLM\SYSTEM\CurrentControlSet), no drivers, no faults, counters at zero.
// Handles held from before the reset become invalid (handle values are
// never reused), and LocalAlloc blocks not yet freed are freed.
void Reset();

// ---- devices ----
// A device node.  Devices are enumerated in the order they were added.
// `parent` is the instance ID of an existing device, or empty for a
// device without a parent.  New devices are present with status
// DN_DRIVER_LOADED | DN_STARTED and have no friendly name.  Every device is
// of the Ports setup class.  A device that is not present stays out of
// DIGCF_PRESENT lists, its device paths cannot be opened, and
// CM_Get_DevNode_Status / CM_Get_Parent answer CR_NO_SUCH_DEVNODE for it.
void AddDevice(const std::string& instanceId, const std::string& parent = "");
void SetPresent(const std::string& instanceId, bool present);
void SetStatus(const std::string& instanceId, ULONG statusFlags);
// The friendly name as the raw bytes the property holds (REG_SZ); use
// Ascii(name) for an ordinary terminated name.
void SetFriendlyName(const std::string& instanceId, const Bytes& raw);
void SetFriendlyName(const std::string& instanceId, const std::string& name);
void RemoveFriendlyName(const std::string& instanceId);
// The friendly name's raw bytes; nullopt when the device has none.
std::optional<Bytes> FriendlyName(const std::string& instanceId);
// Adds an interface of `interfaceClass` to the device; its device path is
// `devicePath`.  Interfaces of one device enumerate in the order added.
void AddInterface(const std::string& instanceId, const GUID& interfaceClass,
                  const std::string& devicePath);
// A restart of a device through its class installer (DIF_PROPERTYCHANGE
// with DICS_PROPCHANGE), with the names the device came back under: the
// "PortName" of its hardware key (empty when none) and its friendly name.
struct Restart {
    std::string portName;
    std::string friendlyName;
};
// Every restart of the device since it was added, in order.
std::vector<Restart> Restarts(const std::string& instanceId);
// A device whose restart needs the machine restarted: its class installer
// succeeds but sets DI_NEEDREBOOT in the device's install parameters, and
// the device is not restarted.
void SetRestartNeedsReboot(const std::string& instanceId, bool needsReboot);
// The device node number (DEVINST) of a device, as CM_* calls see it.
DEVINST DevInstOf(const std::string& instanceId);

// ---- registry (paths are below HKEY_LOCAL_MACHINE, '\\'-separated,
// matched case-insensitively) ----
void CreateKey(const std::string& path);  // with its missing ancestors
void DeleteKey(const std::string& path);  // with its subkeys
bool KeyExists(const std::string& path);
void SetValue(const std::string& path, const std::string& name, DWORD type, const Bytes& data);
void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
void DeleteValue(const std::string& path, const std::string& name);
std::optional<RegValue> GetValue(const std::string& path, const std::string& name);
// Opens of this key that ask for any access right outside `allowed` fail
// with ERROR_ACCESS_DENIED (as HKLM keys do for callers that are not
// administrators when they ask for write or all access).
void RestrictKey(const std::string& path, REGSAM allowed);

// The COM port database: the REG_BINARY value "ComDB" in this key, one bit
// per COM number (bit n-1 for COMn), which the msports calls keep.
inline constexpr const char* kComNameArbiterKey =
    "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
inline constexpr const char* kComDbValue = "ComDB";
// The numbers the database marks in use, ascending (none when the value is
// missing); and a database that marks exactly `numbers` (32 bytes, more
// when a number needs them).
std::vector<int> ComDbNumbers();
void SetComDbNumbers(const std::vector<int>& numbers);

// Whether the processes on this machine run elevated (the default).  Not
// elevated, they get a token that says so, and every open of a registry
// key that asks for a right to change it (KEY_SET_VALUE, KEY_CREATE_SUB_KEY
// and the others in KEY_ALL_ACCESS but not in KEY_READ), including a
// device's hardware key, fails with ERROR_ACCESS_DENIED, as the keys below
// HKEY_LOCAL_MACHINE refuse callers that are not administrators.
void SetElevated(bool elevated);
bool Elevated();

// ---- drivers (keyed by device path) ----
// Whether CreateFileA of the path succeeds; a path that no interface
// exposes fails with ERROR_FILE_NOT_FOUND.  `error` is what a refused open
// reports.
void SetUnopenable(const std::string& devicePath, DWORD error = ERROR_ACCESS_DENIED);
// Every DeviceIoControl request sent to the path: code and exact input bytes,
// rejected ones included.
std::vector<Request> Requests(const std::string& devicePath);
// Requests a driver rejects from now on; 0 accepts again.  `afterAccepted`
// lets that many requests through first.
void RejectRequests(const std::string& devicePath, DWORD error = ERROR_GEN_FAILURE,
                    int afterAccepted = 0);
// Requests a driver accepted, in order (the subset of Requests()).
std::vector<Request> AcceptedRequests(const std::string& devicePath);

// ---- named mutexes (names as passed to CreateMutexA, e.g. "Global\\x") ----
// Makes an existing named mutex one that another session or security
// context created: callers here are granted only `allowed` on it, so
// OpenMutexA/W asking for more, and CreateMutexA of the name (which asks
// for MUTEX_ALL_ACCESS) unless `allowed` covers it, fail with
// ERROR_ACCESS_DENIED.
void RestrictMutex(const std::string& name, DWORD allowed);
// The security descriptor the mutex's creator gave, in the string form it
// was converted from; nullopt for default security or no such mutex.
std::optional<std::string> MutexSecurity(const std::string& name);

// ---- faults ----
// The k-th call (1-based, counted from now) of the named Win32 operation
// fails the way that operation reports failure, with `error` as its
// last-error code, its returned error code or, for CM_* calls, its
// CONFIGRET (0 picks CR_FAILURE for CM_* calls and ERROR_GEN_FAILURE
// otherwise; LocalAlloc reports ERROR_NOT_ENOUGH_MEMORY).  Release
// operations (SetupDiDestroyDeviceInfoList, RegCloseKey, CloseHandle,
// LocalFree) still release when they report a failure; any other faulted
// call has no effect beyond its failure (a faulted DeviceIoControl does not
// reach the driver's request log).
void FailAt(const std::string& operation, int k, DWORD error = 0);
void ClearFaults();
// Every later call of the operation first sleeps this long, without holding
// the machine, so that other threads' calls run in between: it widens a
// window that is otherwise too short to hit (only RegSetValueExA pauses).
void PauseBefore(const std::string& operation, int microseconds);
// Every later timed wait (WaitForSingleObject with a timeout other than
// INFINITE) gives up after at most this long, so that a test can make a
// call wait out a holder without waiting as long as the call would.
void ShortenWaits(DWORD longestMilliseconds);

// ---- counters ----
// How often the named operation was called since the last Reset().
int Calls(const std::string& operation);
// The names of all operations called since the last Reset(), in the order
// of their first call.
std::vector<std::string> CalledOperations();
Outstanding GetOutstanding();

// A device list as SetupDiGetClassDevsA/W built it: the flags and the
// enumerator asked for, and how many devices it held.
struct BuiltList {
    DWORD flags = 0;
    std::string enumerator;  // empty: none
    int devices = 0;
};
// Every list built since the last Reset(), in order.
std::vector<BuiltList> BuiltLists();

}  // namespace simwin

#endif
