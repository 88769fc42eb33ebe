// Probes the Win32 calls that the libraries make, directly, on a small
// machine built with the machine fixture, and prints one line per probe:
//
//   name | the call in words | return value, last-error code, outputs
//
// Every probed call starts with the last-error code at 0xDEADBEEF, so
// "untouched" means the call left it alone.  Nothing printed depends on the
// process's pointer size: handles print as NULL/INVALID/handle, record
// sizes relative to the record, detail sizes after the fixed part.  The same
// program runs on the simulator and under Wine; compare.sh compares the two.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "machine_fixture.h"
#include "unique_resource.h"
#include "win32.h"
#if defined(_WIN32)
#include "config_manager_standin.h"
#endif

namespace {

using platform::DeviceHandle;
using platform::DeviceList;
using platform::RegistryKey;

const GUID kPorts = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kComPort = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

constexpr char kAdapter[] = "USB\\VID_1A2B&PID_2052\\6&2";
constexpr char kPort[] = "USB\\VID_1A2B&PID_2052&MI_01\\7&1";
constexpr char kFriendly[] = "Adapter Port 2 (COM7)";
constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";
constexpr DWORD kUntouchedSize = 0xAAAA;
constexpr DEVINST kUnknownNode = 0x7FFFFFF0;

// ---- how results print ----

std::string Code(DWORD code) {
    if (code == 0xDEADBEEF) return "untouched";
    char text[16];
    std::snprintf(text, sizeof text, code > 0xFFFF ? "0x%lX" : "%lu",
                  static_cast<unsigned long>(code));
    return text;
}

template <typename T>
std::string Show(T value) {
    if constexpr (std::is_pointer_v<T>) {
        if (!value) return "NULL";
        return reinterpret_cast<HANDLE>(value) == INVALID_HANDLE_VALUE ? "INVALID" : "handle";
    } else {
        return std::to_string(static_cast<long long>(value));
    }
}

// The value a call returned and the last-error code it left, read first.
template <typename T>
std::string Done(T value) {
    const DWORD error = GetLastError();
    return Show(value) + " err=" + Code(error);
}
#define CALL(expr) (SetLastError(0xDEADBEEF), Done(expr))

// Bytes as text: printable ASCII as is, everything else as \xNN.
std::string Text(const void* data, std::size_t size) {
    std::string out = "\"";
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<const unsigned char*>(data)[i];
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') ? std::string(1, char(c)) : escaped;
    }
    return out + "\"";
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string Size(const char* what, DWORD size) {
    return std::string(" ") + what + "=" +
           (size == kUntouchedSize ? "untouched" : std::to_string(size));
}

std::basic_string<WCHAR> Wide(const char* ascii) {
    return std::basic_string<WCHAR>(ascii, ascii + std::strlen(ascii));
}

// ---- the machine's parts, found without the calls under probe ----

template <typename Record>
Record Sized(int delta = 0) {
    Record record{};
    record.cbSize = static_cast<DWORD>(sizeof(Record) + delta);
    return record;
}

DeviceList List(const GUID* cls, DWORD flags) {
    return DeviceList(SetupDiGetClassDevsA(cls, nullptr, nullptr, flags));
}
DeviceList Ports() { return List(&kPorts, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE); }
DeviceList ComPorts() { return List(&kComPort, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE); }
DeviceList AllDevices() {
    return List(nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE);
}

// The record of list member `id`, found by enumerating the list.
SP_DEVINFO_DATA Member(HDEVINFO list, const char* id) {
    auto device = Sized<SP_DEVINFO_DATA>();
    for (DWORD i = 0; SetupDiEnumDeviceInfo(list, i, &device); ++i) {
        char read[200] = {};
        if (SetupDiGetDeviceInstanceIdA(list, &device, read, sizeof read, nullptr) &&
            std::strcmp(read, id) == 0)
            return device;
    }
    return Sized<SP_DEVINFO_DATA>();
}

SP_DEVICE_INTERFACE_DATA Interface(HDEVINFO list, SP_DEVINFO_DATA& device, const GUID& cls) {
    auto data = Sized<SP_DEVICE_INTERFACE_DATA>();
    SetupDiEnumDeviceInterfaces(list, &device, &cls, 0, &data);
    return data;
}

RegistryKey OpenKey(const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key) != ERROR_SUCCESS) return {};
    return RegistryKey(key);
}

RegistryKey PortKey(REGSAM access) {
    DeviceList list = Ports();
    SP_DEVINFO_DATA port = Member(list.get(), kPort);
    HKEY key = SetupDiOpenDevRegKey(list.get(), &port, DICS_FLAG_GLOBAL, 0, DIREG_DEV, access);
    return RegistryKey(key);
}

// The configuration-manager calls the Windows-side tests give the libraries:
// under Wine the stand-in for its stubs, on the simulator its own calls.
#if defined(_WIN32)
#define TESTS_GET_PARENT standin::GetParent
#define TESTS_GET_DEVNODE_STATUS standin::GetDevNodeStatus
#else
#define TESTS_GET_PARENT CM_Get_Parent
#define TESTS_GET_DEVNODE_STATUS CM_Get_DevNode_Status
#endif

// ---- probes of calls with buffers ----

std::string FriendlyName(const char* id, DWORD size, bool buffer = true, int cbDelta = 0) {
    DeviceList list = Ports();
    SP_DEVINFO_DATA device = Member(list.get(), id);
    device.cbSize += cbDelta;
    BYTE data[300];
    std::memset(data, 0xCD, sizeof data);
    DWORD type = 0xAA, required = kUntouchedSize;
    std::string r = CALL(SetupDiGetDeviceRegistryPropertyA(
        list.get(), &device, SPDRP_FRIENDLYNAME, &type, buffer ? data : nullptr, size, &required));
    r += " type=" + std::to_string(type) + Size("required", required);
    return r.rfind("1 ", 0) == 0 ? r + " " + Text(data, std::min<DWORD>(required, size)) : r;
}

// The node's instance ID into a `size`-byte buffer; the whole buffer prints.
std::string NodeId(DEVINST node, ULONG size, bool buffer = true) {
    char data[300];
    std::memset(data, 'Z', sizeof data);
    std::string r = CALL(CM_Get_Device_IDA(node, buffer ? data : nullptr, size, 0));
    return r + " " + Text(data, buffer ? size : 0);
}

std::string PortNodeId(ULONG size, bool buffer = true) {
    DeviceList list = Ports();
    return NodeId(Member(list.get(), kPort).DevInst, size, buffer);
}

std::string InstanceId(DWORD size, bool buffer = true, int cbDelta = 0) {
    DeviceList list = Ports();
    SP_DEVINFO_DATA device = Member(list.get(), kPort);
    device.cbSize += cbDelta;
    char data[300];
    std::memset(data, 'Z', sizeof data);
    DWORD required = kUntouchedSize;
    std::string r = CALL(
        SetupDiGetDeviceInstanceIdA(list.get(), &device, buffer ? data : nullptr, size, &required));
    return r + Size("required", required) + " " + Text(data, buffer ? size : 0);
}

// Sizes print after the detail record's fixed part: `size` is added to the
// offset of DevicePath, and so is the required size printed.
std::string Detail(int size, bool buffer = true, int cbDelta = 0, bool withDevice = false) {
    constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    DeviceList list = Ports();
    SP_DEVINFO_DATA port = Member(list.get(), kPort);
    SP_DEVICE_INTERFACE_DATA data = Interface(list.get(), port, kPorts);
    std::vector<char> block(600, 'Z');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = static_cast<DWORD>(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + cbDelta);
    DWORD required = kUntouchedSize;
    auto device = Sized<SP_DEVINFO_DATA>();
    std::string r = CALL(SetupDiGetDeviceInterfaceDetailA(
        list.get(), &data, buffer ? detail : nullptr, buffer ? kPathOffset + size : size, &required,
        withDevice ? &device : nullptr));
    if (required != kUntouchedSize)
        r += " path+terminator=" + std::to_string(required - kPathOffset);
    if (withDevice) r += device.DevInst == port.DevInst ? " device=port" : " device=other";
    if (r.rfind("1 ", 0) == 0) r += " " + Text(detail->DevicePath, std::strlen(detail->DevicePath));
    return r;
}

std::string HardwareKey(const char* id, DWORD scope, DWORD keyType, REGSAM access) {
    DeviceList list = AllDevices();
    SP_DEVINFO_DATA device = Member(list.get(), id);
    RegistryKey key;
    return CALL(*key.out() = SetupDiOpenDevRegKey(list.get(), &device, scope, 0, keyType, access));
}

// A value read through RegQueryValueExA/W into `capacity` bytes (or no
// buffer); the bytes print only on success.
std::string Query(HKEY key, const char* name, DWORD capacity, bool wide, bool buffer = true) {
    BYTE data[600];
    std::memset(data, 0xAB, sizeof data);
    DWORD type = 0xAA, size = capacity;
    const std::basic_string<WCHAR> wideName = Wide(name);
    std::string r =
        wide ? CALL(RegQueryValueExW(key, wideName.c_str(), nullptr, &type, buffer ? data : nullptr,
                                     &size))
             : CALL(RegQueryValueExA(key, name, nullptr, &type, buffer ? data : nullptr, &size));
    r += " type=" + std::to_string(type) + Size("size", size);
    if (r.rfind("0 ", 0) == 0 && buffer) r += " " + Text(data, std::min<DWORD>(size, capacity));
    return r;
}

std::string QueryKey(const char* name, DWORD capacity, bool wide, bool buffer = true) {
    return Query(OpenKey(kKey, KEY_READ).get(), name, capacity, wide, buffer);
}

// Writes with RegSetValueExA and reads the stored bytes back with the W call.
std::string SetAndReadBack(DWORD type, const char* data, DWORD count) {
    RegistryKey key = OpenKey(kKey, KEY_ALL_ACCESS);
    std::string r = CALL(
        RegSetValueExA(key.get(), "Probe", 0, type, reinterpret_cast<const BYTE*>(data), count));
    return r + " stored: " + Query(key.get(), "Probe", 64, true);
}

std::string OpenResult(HKEY base, const char* path, REGSAM access, HKEY preset) {
    HKEY key = preset;
    std::string r = CALL(RegOpenKeyExA(base, path, 0, access, &key));
    r += " result=" + (key == preset ? std::string("untouched") : Show(key));
    if (key && key != preset) RegCloseKey(key);
    return r;
}

std::string DevicePathOf(const char* id) {
    DeviceList list = AllDevices();
    SP_DEVINFO_DATA device = Member(list.get(), id);
    SP_DEVICE_INTERFACE_DATA data = Interface(list.get(), device, kPorts);
    std::vector<char> block(600, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SetupDiGetDeviceInterfaceDetailA(list.get(), &data, detail, 500, nullptr, nullptr);
    return detail->DevicePath;
}

// A list of one device's interfaces of `cls`, with an instance ID as the
// enumerator: the call, then every member's instance ID and how many
// interfaces of the class the list gives each.
std::string OneDeviceList(const GUID& cls, const char* id) {
    DeviceList l;
    std::string r = CALL(
        *l.out() = SetupDiGetClassDevsA(&cls, id, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!l) return r;
    r += " members:";
    auto device = Sized<SP_DEVINFO_DATA>();
    for (DWORD i = 0; SetupDiEnumDeviceInfo(l.get(), i, &device); ++i) {
        char read[200] = {};
        SetupDiGetDeviceInstanceIdA(l.get(), &device, read, sizeof read, nullptr);
        DWORD interfaces = 0;
        for (auto data = Sized<SP_DEVICE_INTERFACE_DATA>();
             SetupDiEnumDeviceInterfaces(l.get(), &device, &cls, interfaces, &data);) {
            ++interfaces;
        }
        r += std::string(" ") + read + " with " + std::to_string(interfaces) + " interfaces";
    }
    return r;
}

// A device added by its instance ID to a list of another device's
// interfaces (which does not hold it): the open, its ID read back, and its
// interfaces of `cls` in that list.
std::string OpenIntoOneDeviceList(const GUID& cls, const char* listed, const char* added) {
    DeviceList l(
        SetupDiGetClassDevsA(&cls, listed, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    auto device = Sized<SP_DEVINFO_DATA>();
    std::string r = CALL(SetupDiOpenDeviceInfoA(l.get(), added, nullptr, 0, &device));
    char read[200] = {};
    r += " then " + CALL(SetupDiGetDeviceInstanceIdA(l.get(), &device, read, sizeof read, nullptr));
    r += std::string(" ") + read;
    auto data = Sized<SP_DEVICE_INTERFACE_DATA>();
    return r + " then " + CALL(SetupDiEnumDeviceInterfaces(l.get(), &device, &cls, 0, &data));
}

HANDLE Open(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string OpenDevice(const char* path) {
    DeviceHandle handle;
    return CALL(*handle.out() = Open(path));
}

// ---- device control requests to the adapter's driver ----

// The machine the probes run on, for the driver's side of a request.
fixture::MachineFixture* probed = nullptr;

constexpr DWORD kSetTxMode = 0x0404201C;
constexpr DWORD kInvalidFunction = 1;  // ERROR_INVALID_FUNCTION
const BYTE kRecord[8] = {1, 0, 0, 0, 1, 0, 0, 0};

// What the adapter's driver received from its `before`-th request on.
std::string Received(std::size_t before) {
    const std::vector<fixture::ControlRequest> requests = probed->Requests(kAdapter);
    std::string r = " driver got:";
    for (std::size_t i = before; i < requests.size(); ++i) {
        const fixture::Bytes& input = requests[i].input;
        r += " " + Hex(requests[i].code) + " " + Text(input.data(), input.size());
    }
    return r;
}

// `count` requests on one open handle, the driver refusing with `refusal`
// (0: never) after accepting `acceptFirst`; an output buffer of `outSize`.
std::string Requests(DWORD refusal, int acceptFirst, int count, const BYTE* in, DWORD inSize,
                     DWORD outSize = 0) {
    probed->RefuseRequests(kAdapter, refusal, acceptFirst);
    DeviceHandle handle(Open(DevicePathOf(kAdapter).c_str()));
    const std::size_t before = probed->Requests(kAdapter).size();
    std::string r;
    for (int i = 0; i < count; ++i) {
        BYTE out[8];
        std::memset(out, 0xCD, sizeof out);
        DWORD returned = kUntouchedSize;
        r += (i ? " then " : "") +
             CALL(DeviceIoControl(handle.get(), kSetTxMode, const_cast<BYTE*>(in), inSize,
                                  outSize ? out : nullptr, outSize, &returned, nullptr));
        r += Size("returned", returned) + (outSize ? " out=" + Text(out, outSize) : "");
    }
    probed->RefuseRequests(kAdapter, 0);
    return r + Received(before);
}

std::string OpenTwice() {
    DeviceHandle first(Open(DevicePathOf(kAdapter).c_str()));
    return OpenDevice(DevicePathOf(kAdapter).c_str());
}

std::string RequestOnClosedHandle() {
    HANDLE closed = DeviceHandle(Open(DevicePathOf(kAdapter).c_str())).get();
    DWORD returned = kUntouchedSize;
    std::string r = CALL(DeviceIoControl(closed, kSetTxMode, const_cast<BYTE*>(kRecord), 8, nullptr,
                                         0, &returned, nullptr));
    return r + Size("returned", returned);
}

constexpr DWORD kWaiterRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;
constexpr char kAdminsOnly[] = "D:(A;;GA;;;BA)(A;;GA;;;SY)";

BOOL Descriptor(const char* text, HLOCAL& descriptor) {
    const std::basic_string<WCHAR> wide = Wide(text);
    PSECURITY_DESCRIPTOR out = nullptr;
    const BOOL ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(
        wide.c_str(), SDDL_REVISION_1, &out, nullptr);
    descriptor = out;
    return ok;
}

// The table lock's way to a shared mutex: created with a descriptor, opened
// again with only a waiter's rights, waited on and released through that.
std::string GlobalMutexCycle() {
    platform::LocalBlock descriptor;
    Descriptor(kAdminsOnly, *descriptor.out());
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
    platform::MutexHandle created, opened;
    std::string r =
        CALL(*created.out() = CreateMutexA(&attributes, FALSE, "Global\\fidelity-probe"));
    r +=
        " then " + CALL(*opened.out() = OpenMutexA(kWaiterRights, FALSE, "Global\\fidelity-probe"));
    r += " then " + CALL(WaitForSingleObject(opened.get(), 0));
    return r + " then " + CALL(ReleaseMutex(opened.get()));
}

struct Probe {
    const char* name;
    const char* call;
    std::function<std::string()> run;
};

// ---- the probes ----

const std::vector<Probe>& Probes() {
    static const std::vector<Probe> probes = {
        // Device lists.
        {"classdevs.ports", "SetupDiGetClassDevsA(ports, 0x12)",
         [] {
             DeviceList l;
             return CALL(*l.out() = SetupDiGetClassDevsA(&kPorts, nullptr, nullptr, 0x12));
         }},
        {"classdevs.w-comport", "SetupDiGetClassDevsW(comport, 0x12)",
         [] {
             DeviceList l;
             return CALL(*l.out() = SetupDiGetClassDevsW(&kComPort, nullptr, nullptr, 0x12));
         }},
        {"classdevs.all", "SetupDiGetClassDevsA(NULL, 0x16)",
         [] {
             DeviceList l;
             return CALL(*l.out() = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, 0x16));
         }},
        {"classdevs.one-device", "SetupDiGetClassDevsA(ports, adapter's instance ID, 0x12)",
         [] { return OneDeviceList(kPorts, kAdapter); }},
        {"classdevs.one-device-other-case",
         "SetupDiGetClassDevsA(ports, adapter's instance ID in lower case, 0x12)",
         [] { return OneDeviceList(kPorts, "usb\\vid_1a2b&pid_2052\\6&2"); }},
        {"classdevs.one-device-no-interface",
         "SetupDiGetClassDevsA(comport, adapter's instance ID, 0x12)",
         [] { return OneDeviceList(kComPort, kAdapter); }},
        {"classdevs.one-device-unknown", "SetupDiGetClassDevsA(ports, unknown instance ID, 0x12)",
         [] { return OneDeviceList(kPorts, "USB\\VID_0000&PID_0000\\1"); }},
        {"open.into-one-device-list",
         "SetupDiOpenDeviceInfoA(comport list of the adapter alone, adapter)",
         [] { return OpenIntoOneDeviceList(kComPort, kAdapter, kAdapter); }},
        {"open.into-other-device-list",
         "SetupDiOpenDeviceInfoA(ports list of the port alone, adapter)",
         [] { return OpenIntoOneDeviceList(kPorts, kPort, kAdapter); }},
        {"classdevs.null-class", "SetupDiGetClassDevsA(NULL, 0x12)",
         [] {
             DeviceList l;
             return CALL(*l.out() = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, 0x12));
         }},
        {"destroy.twice", "SetupDiDestroyDeviceInfoList(destroyed list)",
         [] {
             HDEVINFO h = Ports().get();
             return CALL(SetupDiDestroyDeviceInfoList(h));
         }},
        {"destroy.live", "SetupDiDestroyDeviceInfoList(ports)",
         [] { return CALL(SetupDiDestroyDeviceInfoList(Ports().release())); }},
        {"enum.first", "SetupDiEnumDeviceInfo(ports, 0)",
         [] {
             DeviceList l = Ports();
             auto d = Sized<SP_DEVINFO_DATA>();
             std::string r = CALL(SetupDiEnumDeviceInfo(l.get(), 0, &d));
             return r + (std::memcmp(&d.ClassGuid, &kPorts, sizeof(GUID)) ? " class=other"
                                                                          : " class=ports");
         }},
        {"enum.past-end", "SetupDiEnumDeviceInfo(ports of adapter and port, 2)",
         [] {
             DeviceList l = Ports();
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(SetupDiEnumDeviceInfo(l.get(), 2, &d));
         }},
        {"enum.cbsize-0", "SetupDiEnumDeviceInfo(ports, 0, cbSize=0)",
         [] {
             DeviceList l = Ports();
             SP_DEVINFO_DATA d{};
             return CALL(SetupDiEnumDeviceInfo(l.get(), 0, &d));
         }},
        {"enum.cbsize-plus-1", "SetupDiEnumDeviceInfo(ports, 0, cbSize=size+1)",
         [] {
             DeviceList l = Ports();
             auto d = Sized<SP_DEVINFO_DATA>(1);
             return CALL(SetupDiEnumDeviceInfo(l.get(), 0, &d));
         }},
        {"enum.null-record", "SetupDiEnumDeviceInfo(ports, 0, NULL)",
         [] {
             DeviceList l = Ports();
             return CALL(SetupDiEnumDeviceInfo(l.get(), 0, nullptr));
         }},
        {"enum.invalid-list", "SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0)",
         [] {
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0, &d));
         }},
        {"enum.destroyed-list", "SetupDiEnumDeviceInfo(destroyed list, 0)",
         [] {
             HDEVINFO h = Ports().get();
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(SetupDiEnumDeviceInfo(h, 0, &d));
         }},
        {"enum.comport-list", "SetupDiEnumDeviceInfo(comport list, 0..1)",
         [] {
             DeviceList l = ComPorts();
             auto d = Sized<SP_DEVINFO_DATA>();
             std::string r = CALL(SetupDiEnumDeviceInfo(l.get(), 0, &d));
             return r + " then " + CALL(SetupDiEnumDeviceInfo(l.get(), 1, &d));
         }},
        // Friendly names.
        {"friendly.261", "SetupDiGetDeviceRegistryPropertyA(port, FRIENDLYNAME, 261 bytes)",
         [] { return FriendlyName(kPort, 261); }},
        {"friendly.exact", "SetupDiGetDeviceRegistryPropertyA(port, FRIENDLYNAME, name+terminator)",
         [] { return FriendlyName(kPort, sizeof kFriendly); }},
        {"friendly.short",
         "SetupDiGetDeviceRegistryPropertyA(port, FRIENDLYNAME, name without terminator)",
         [] { return FriendlyName(kPort, sizeof kFriendly - 1); }},
        {"friendly.null-size-0", "SetupDiGetDeviceRegistryPropertyA(port, FRIENDLYNAME, NULL, 0)",
         [] { return FriendlyName(kPort, 0, false); }},
        {"friendly.null-size-10", "SetupDiGetDeviceRegistryPropertyA(port, FRIENDLYNAME, NULL, 10)",
         [] { return FriendlyName(kPort, 10, false); }},
        {"friendly.missing",
         "SetupDiGetDeviceRegistryPropertyA(adapter without name, FRIENDLYNAME, 261)",
         [] { return FriendlyName(kAdapter, 261); }},
        {"friendly.cbsize-plus-1", "SetupDiGetDeviceRegistryPropertyA(record cbSize=size+1, 261)",
         [] { return FriendlyName(kPort, 261, true, 1); }},
        // Device nodes.
        {"status.port", "CM_Get_DevNode_Status(port)",
         [] {
             DeviceList l = Ports();
             ULONG s = 0xAAAA, p = 0xAAAA;
             std::string r = CALL(CM_Get_DevNode_Status(&s, &p, Member(l.get(), kPort).DevInst, 0));
             return r + " status=" + Hex(s) + " problem=" + Hex(p);
         }},
        {"status.unknown-node", "CM_Get_DevNode_Status(unknown node)",
         [] {
             ULONG s = 0, p = 0;
             return CALL(CM_Get_DevNode_Status(&s, &p, kUnknownNode, 0));
         }},
        {"parent.port", "CM_Get_Parent(port)",
         [] {
             DeviceList l = Ports();
             DEVINST parent = 0;
             std::string r = CALL(CM_Get_Parent(&parent, Member(l.get(), kPort).DevInst, 0));
             return r.rfind("0 ", 0) == 0 ? r + " parent:" + NodeId(parent, 40) : r;
         }},
        {"standin.status.port", "status stand-in(port)",
         [] {
             DeviceList l = Ports();
             ULONG s = 0xAAAA, p = 0xAAAA;
             std::string r =
                 CALL(TESTS_GET_DEVNODE_STATUS(&s, &p, Member(l.get(), kPort).DevInst, 0));
             return r + " status=" + Hex(s) + " problem=" + Hex(p);
         }},
        {"standin.status.unknown-node", "status stand-in(unknown node)",
         [] {
             ULONG s = 0, p = 0;
             return CALL(TESTS_GET_DEVNODE_STATUS(&s, &p, kUnknownNode, 0));
         }},
        {"standin.parent.port", "parent stand-in(port)",
         [] {
             DeviceList l = Ports();
             DEVINST parent = 0;
             std::string r = CALL(TESTS_GET_PARENT(&parent, Member(l.get(), kPort).DevInst, 0));
             return r.rfind("0 ", 0) == 0 ? r + " parent:" + NodeId(parent, 40) : r;
         }},
        {"standin.parent.adapter", "parent stand-in(adapter)",
         [] {
             DeviceList l = AllDevices();
             DEVINST parent = 0;
             return CALL(TESTS_GET_PARENT(&parent, Member(l.get(), kAdapter).DevInst, 0));
         }},
        {"parent.adapter", "CM_Get_Parent(adapter)",
         [] {
             DeviceList l = AllDevices();
             DEVINST parent = 0;
             return CALL(CM_Get_Parent(&parent, Member(l.get(), kAdapter).DevInst, 0));
         }},
        {"parent.unknown-node", "CM_Get_Parent(unknown node)",
         [] {
             DEVINST parent = 0;
             return CALL(CM_Get_Parent(&parent, kUnknownNode, 0));
         }},
        {"nodeid.40", "CM_Get_Device_IDA(port, 40 bytes)", [] { return PortNodeId(40); }},
        {"nodeid.exact", "CM_Get_Device_IDA(port, id+terminator)",
         [] { return PortNodeId(sizeof kPort); }},
        {"nodeid.short", "CM_Get_Device_IDA(port, id without terminator)",
         [] { return PortNodeId(sizeof kPort - 1); }},
        {"nodeid.5", "CM_Get_Device_IDA(port, 5 bytes)", [] { return PortNodeId(5); }},
        {"nodeid.unknown-node", "CM_Get_Device_IDA(unknown node, 8 bytes)",
         [] { return NodeId(kUnknownNode, 8); }},
        {"nodeid.stale-node",
         "CM_Get_Device_IDA(port's node after its list is destroyed, 40 bytes)",
         [] {
             DEVINST node = Member(Ports().get(), kPort).DevInst;
             return NodeId(node, 40);
         }},
        // Opening devices by instance ID.
        {"open.member", "SetupDiOpenDeviceInfoA(all devices, adapter)",
         [] {
             DeviceList l = AllDevices();
             auto d = Sized<SP_DEVINFO_DATA>();
             std::string r = CALL(SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, &d));
             return r + (d.DevInst == Member(l.get(), kAdapter).DevInst ? " record=member"
                                                                        : " record=other");
         }},
        {"open.added", "SetupDiOpenDeviceInfoA(comport list, adapter)",
         [] {
             DeviceList l = ComPorts();
             auto d = Sized<SP_DEVINFO_DATA>();
             std::string r = CALL(SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, &d));
             auto e = Sized<SP_DEVINFO_DATA>();
             return r + " then " + CALL(SetupDiEnumDeviceInfo(l.get(), 1, &e));
         }},
        {"open.lower-case", "SetupDiOpenDeviceInfoA(all devices, adapter in lower case)",
         [] {
             DeviceList l = AllDevices();
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(
                 SetupDiOpenDeviceInfoA(l.get(), "usb\\vid_1a2b&pid_2052\\6&2", nullptr, 0, &d));
         }},
        {"open.unknown", "SetupDiOpenDeviceInfoA(all devices, unknown ID)",
         [] {
             DeviceList l = AllDevices();
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(
                 SetupDiOpenDeviceInfoA(l.get(), "USB\\VID_0000&PID_0000\\1", nullptr, 0, &d));
         }},
        {"open.null-record", "SetupDiOpenDeviceInfoA(all devices, adapter, NULL)",
         [] {
             DeviceList l = AllDevices();
             return CALL(SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, nullptr));
         }},
        {"open.cbsize-0", "SetupDiOpenDeviceInfoA(all devices, adapter, cbSize=0)",
         [] {
             DeviceList l = AllDevices();
             SP_DEVINFO_DATA d{};
             return CALL(SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, &d));
         }},
        {"open.bad-flags", "SetupDiOpenDeviceInfoA(all devices, adapter, flags 0x100)",
         [] {
             DeviceList l = AllDevices();
             auto d = Sized<SP_DEVINFO_DATA>();
             return CALL(SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0x100, &d));
         }},
        // Instance IDs of list members.
        {"instanceid.40", "SetupDiGetDeviceInstanceIdA(port, 40 bytes)",
         [] { return InstanceId(40); }},
        {"instanceid.exact", "SetupDiGetDeviceInstanceIdA(port, id+terminator)",
         [] { return InstanceId(sizeof kPort); }},
        {"instanceid.short", "SetupDiGetDeviceInstanceIdA(port, id without terminator)",
         [] { return InstanceId(sizeof kPort - 1); }},
        {"instanceid.null-size-0", "SetupDiGetDeviceInstanceIdA(port, NULL, 0)",
         [] { return InstanceId(0, false); }},
        {"instanceid.null-size-10", "SetupDiGetDeviceInstanceIdA(port, NULL, 10)",
         [] { return InstanceId(10, false); }},
        {"instanceid.cbsize-plus-1", "SetupDiGetDeviceInstanceIdA(record cbSize=size+1, 40)",
         [] { return InstanceId(40, true, 1); }},
        // Device interfaces.
        {"interfaces.port-ports", "SetupDiEnumDeviceInterfaces(ports, port, ports class, 0..1)",
         [] {
             DeviceList l = Ports();
             auto d = Member(l.get(), kPort);
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             std::string r = CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
             r += " flags=" + std::to_string(i.Flags);
             return r + " then " + CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 1, &i));
         }},
        {"interfaces.whole-list",
         "SetupDiEnumDeviceInterfaces(all devices, NULL record, ports class, 0..2)",
         [] {
             DeviceList l = AllDevices();
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             std::string r;
             for (DWORD m = 0; m < 3; ++m)
                 r += CALL(SetupDiEnumDeviceInterfaces(l.get(), nullptr, &kPorts, m, &i)) + "; ";
             return r;
         }},
        {"interfaces.member-other-class",
         "SetupDiEnumDeviceInterfaces(ports list, port, comport class, 0)",
         [] {
             DeviceList l = Ports();
             auto d = Member(l.get(), kPort);
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kComPort, 0, &i));
         }},
        {"interfaces.opened-other-class",
         "SetupDiEnumDeviceInterfaces(comport list, adapter opened into it, ports class, 0)",
         [] {
             DeviceList l = ComPorts();
             auto d = Sized<SP_DEVINFO_DATA>();
             SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, &d);
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
         }},
        {"interfaces.opened-all",
         "SetupDiEnumDeviceInterfaces(all devices, adapter opened, ports class, 0)",
         [] {
             DeviceList l = AllDevices();
             auto d = Sized<SP_DEVINFO_DATA>();
             SetupDiOpenDeviceInfoA(l.get(), kAdapter, nullptr, 0, &d);
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
         }},
        {"interfaces.setup-class-list",
         "SetupDiEnumDeviceInterfaces(present ports-class devices, port, ports class, 0)",
         [] {
             DeviceList l = List(&kPorts, DIGCF_PRESENT);
             auto d = Member(l.get(), kPort);
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
         }},
        {"interfaces.cbsize-0",
         "SetupDiEnumDeviceInterfaces(ports, port, ports class, 0, cbSize=0)",
         [] {
             DeviceList l = Ports();
             auto d = Member(l.get(), kPort);
             SP_DEVICE_INTERFACE_DATA i{};
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
         }},
        // The record's list still lives: with a destroyed one, Wine would
        // read freed memory, and its answer would depend on the heap.
        {"interfaces.other-list-record",
         "SetupDiEnumDeviceInterfaces(ports list, record of another ports list)",
         [] {
             DeviceList other = Ports();
             auto d = Member(other.get(), kPort);
             DeviceList l = Ports();
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             return CALL(SetupDiEnumDeviceInterfaces(l.get(), &d, &kPorts, 0, &i));
         }},
        // Interface details.
        {"detail.size-query", "SetupDiGetDeviceInterfaceDetailA(NULL, 0)",
         [] { return Detail(0, false); }},
        {"detail.exact", "SetupDiGetDeviceInterfaceDetailA(fixed part+path+terminator)",
         [] { return Detail(int(DevicePathOf(kPort).size() + 1)); }},
        {"detail.short", "SetupDiGetDeviceInterfaceDetailA(fixed part+path)",
         [] { return Detail(int(DevicePathOf(kPort).size())); }},
        {"detail.with-device", "SetupDiGetDeviceInterfaceDetailA(NULL, 0, device record)",
         [] { return Detail(0, false, 0, true); }},
        {"detail.null-size-10", "SetupDiGetDeviceInterfaceDetailA(NULL, fixed part+10)",
         [] { return Detail(10, false); }},
        {"detail.cbsize-0", "SetupDiGetDeviceInterfaceDetailA(detail cbSize=0, 300)",
         [] { return Detail(300, true, -int(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))); }},
        {"detail.cbsize-plus-1", "SetupDiGetDeviceInterfaceDetailA(detail cbSize=size+1, 300)",
         [] { return Detail(300, true, 1); }},
        {"detail.bogus-interface",
         "SetupDiGetDeviceInterfaceDetailA(interface record never filled)",
         [] {
             DeviceList l = Ports();
             auto i = Sized<SP_DEVICE_INTERFACE_DATA>();
             DWORD req = kUntouchedSize;
             return CALL(SetupDiGetDeviceInterfaceDetailA(l.get(), &i, nullptr, 0, &req, nullptr));
         }},
        // Hardware keys.
        {"devregkey.read", "SetupDiOpenDevRegKey(port, GLOBAL, DEV, KEY_READ)",
         [] { return HardwareKey(kPort, DICS_FLAG_GLOBAL, DIREG_DEV, KEY_READ); }},
        {"devregkey.write", "SetupDiOpenDevRegKey(port, GLOBAL, DEV, KEY_WRITE)",
         [] { return HardwareKey(kPort, DICS_FLAG_GLOBAL, DIREG_DEV, KEY_WRITE); }},
        {"devregkey.no-key",
         "SetupDiOpenDevRegKey(adapter without hardware key, GLOBAL, DEV, KEY_READ)",
         [] { return HardwareKey(kAdapter, DICS_FLAG_GLOBAL, DIREG_DEV, KEY_READ); }},
        {"devregkey.bad-scope", "SetupDiOpenDevRegKey(port, scope 4, DEV, KEY_READ)",
         [] { return HardwareKey(kPort, 4, DIREG_DEV, KEY_READ); }},
        {"devregkey.bad-type", "SetupDiOpenDevRegKey(port, GLOBAL, type 4, KEY_READ)",
         [] { return HardwareKey(kPort, DICS_FLAG_GLOBAL, 4, KEY_READ); }},
        {"devregkey.portname", "RegQueryValueExW(hardware key, PortName, 520)",
         [] { return Query(PortKey(KEY_READ).get(), "PortName", 520, true); }},
        {"devregkey.read-only-set", "RegSetValueExA(hardware key opened KEY_READ, DWORD)",
         [] {
             RegistryKey k = PortKey(KEY_READ);
             const BYTE v[4] = {1};
             return CALL(RegSetValueExA(k.get(), "Probe", 0, REG_DWORD, v, 4));
         }},
        // Registry keys.
        {"regopen.all-access", "RegOpenKeyExA(HKLM, driver key, KEY_ALL_ACCESS)",
         [] { return OpenResult(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS, nullptr); }},
        {"regopen.other-case", "RegOpenKeyExA(HKLM, driver key in lower case, KEY_READ)",
         [] {
             return OpenResult(HKEY_LOCAL_MACHINE,
                               "system\\currentcontrolset\\services\\karbend\\fixcomfunc", KEY_READ,
                               nullptr);
         }},
        {"regopen.missing", "RegOpenKeyExA(HKLM, missing key, KEY_READ)",
         [] {
             return OpenResult(HKEY_LOCAL_MACHINE, "SYSTEM\\NoSuchKey", KEY_READ,
                               reinterpret_cast<HKEY>(0x1234));
         }},
        {"regopen.invalid-base", "RegOpenKeyExA(closed key, SYSTEM, KEY_READ)",
         [] {
             HKEY closed = OpenKey("SYSTEM", KEY_READ).get();
             return OpenResult(closed, "CurrentControlSet", KEY_READ,
                               reinterpret_cast<HKEY>(0x1234));
         }},
        {"regclose.open", "RegCloseKey(open key)",
         [] { return CALL(RegCloseKey(OpenKey(kKey, KEY_READ).release())); }},
        {"regclose.closed", "RegCloseKey(closed key)",
         [] {
             HKEY closed = OpenKey(kKey, KEY_READ).get();
             return CALL(RegCloseKey(closed));
         }},
        // Registry values.
        {"query.dword", "RegQueryValueExA(Dword, 4)", [] { return QueryKey("Dword", 4, false); }},
        {"query.dword-short", "RegQueryValueExA(Dword, 2)",
         [] { return QueryKey("Dword", 2, false); }},
        {"query.dword-size", "RegQueryValueExA(Dword, NULL)",
         [] { return QueryKey("Dword", 0, false, false); }},
        {"query.binary-w", "RegQueryValueExW(Table, 256)",
         [] { return QueryKey("Table", 256, true); }},
        {"query.missing", "RegQueryValueExA(NoSuchValue, 4)",
         [] { return QueryKey("NoSuchValue", 4, false); }},
        {"query.string-a", "RegQueryValueExA(Text, 64)",
         [] { return QueryKey("Text", 64, false); }},
        {"query.string-a-size", "RegQueryValueExA(Text, NULL)",
         [] { return QueryKey("Text", 0, false, false); }},
        {"query.string-w", "RegQueryValueExW(Text, 64)", [] { return QueryKey("Text", 64, true); }},
        {"query.string-w-short", "RegQueryValueExW(Text, 4)",
         [] { return QueryKey("Text", 4, true); }},
        {"query.unterminated-w", "RegQueryValueExW(Unterminated, 64)",
         [] { return QueryKey("Unterminated", 64, true); }},
        {"query.reserved", "RegQueryValueExA(Dword, lpReserved set)",
         [] {
             RegistryKey k = OpenKey(kKey, KEY_READ);
             DWORD reserved = 0, size = 4;
             BYTE d[4];
             return CALL(RegQueryValueExA(k.get(), "Dword", &reserved, nullptr, d, &size));
         }},
        {"query.data-without-size", "RegQueryValueExA(Dword, buffer, NULL size)",
         [] {
             RegistryKey k = OpenKey(kKey, KEY_READ);
             BYTE d[4];
             return CALL(RegQueryValueExA(k.get(), "Dword", nullptr, nullptr, d, nullptr));
         }},
        {"set.dword", "RegSetValueExA(REG_DWORD, 4 bytes)",
         [] { return SetAndReadBack(REG_DWORD, "\x07\0\0\0", 4); }},
        {"set.binary", "RegSetValueExA(REG_BINARY, 3 bytes)",
         [] { return SetAndReadBack(REG_BINARY, "\x01\x02\x03", 3); }},
        {"set.string-unterminated",
         "RegSetValueExA(REG_SZ, \"abc\" without terminator, NUL after it)",
         [] { return SetAndReadBack(REG_SZ, "abc", 3); }},
        {"set.string", "RegSetValueExA(REG_SZ, \"abc\" with terminator)",
         [] { return SetAndReadBack(REG_SZ, "abc", 4); }},
        // Device paths, handles, mutexes, memory.
        {"createfile.adapter", "CreateFileA(adapter's device path, read|write, no sharing)",
         [] { return OpenDevice(DevicePathOf(kAdapter).c_str()); }},
        {"createfile.adapter-twice",
         "CreateFileA(adapter's device path) while it is open without sharing",
         [] { return OpenTwice(); }},
        {"ioctl.accepted", "DeviceIoControl(adapter, set transmit mode, 8 bytes)",
         [] { return Requests(0, 0, 1, kRecord, 8); }},
        {"ioctl.output-buffer", "DeviceIoControl(adapter, 8 bytes, 8-byte output buffer)",
         [] { return Requests(0, 0, 1, kRecord, 8, 8); }},
        {"ioctl.no-input", "DeviceIoControl(adapter, no input)",
         [] { return Requests(0, 0, 1, nullptr, 0); }},
        {"ioctl.refused-unsuccessful", "DeviceIoControl(adapter refusing with STATUS_UNSUCCESSFUL)",
         [] { return Requests(ERROR_GEN_FAILURE, 0, 1, kRecord, 8); }},
        {"ioctl.refused-invalid-request",
         "DeviceIoControl(adapter refusing with STATUS_INVALID_DEVICE_REQUEST)",
         [] { return Requests(kInvalidFunction, 0, 1, kRecord, 8); }},
        {"ioctl.accept-then-refuse", "DeviceIoControl twice, the adapter refusing after one",
         [] { return Requests(ERROR_GEN_FAILURE, 1, 2, kRecord, 8); }},
        {"ioctl.closed-handle", "DeviceIoControl(closed handle to the adapter)",
         [] { return RequestOnClosedHandle(); }},
        {"createfile.missing", "CreateFileA(\\\\.\\NoSuchDevice)",
         [] { return OpenDevice("\\\\.\\NoSuchDevice"); }},
        {"ioctl.invalid-handle", "DeviceIoControl(NULL handle, 8 bytes)",
         [] {
             BYTE in[8] = {};
             DWORD n = 0;
             return CALL(DeviceIoControl(nullptr, 0x220000, in, 8, nullptr, 0, &n, nullptr));
         }},
        {"closehandle.invalid-handle-value", "CloseHandle(INVALID_HANDLE_VALUE)",
         [] { return CALL(CloseHandle(INVALID_HANDLE_VALUE)); }},
        {"closehandle.null", "CloseHandle(NULL)", [] { return CALL(CloseHandle(nullptr)); }},
        {"mutex.create", "CreateMutexA(NULL, FALSE, Local\\probe) twice",
         [] {
             platform::MutexHandle a, b;
             std::string r = CALL(*a.out() = CreateMutexA(nullptr, FALSE, "Local\\fidelity-probe"));
             return r + " then " +
                    CALL(*b.out() = CreateMutexA(nullptr, FALSE, "Local\\fidelity-probe"));
         }},
        {"mutex.bad-name", "CreateMutexA(NULL, FALSE, a\\b)",
         [] {
             platform::MutexHandle a;
             return CALL(*a.out() = CreateMutexA(nullptr, FALSE, "fidelity\\probe"));
         }},
        {"mutex.cycle", "WaitForSingleObject(mutex, 0), ReleaseMutex twice",
         [] {
             platform::MutexHandle a(CreateMutexA(nullptr, FALSE, nullptr));
             std::string r = CALL(WaitForSingleObject(a.get(), 0));
             r += " then " + CALL(ReleaseMutex(a.get()));
             return r + " then " + CALL(ReleaseMutex(a.get()));
         }},
        {"mutex.wait-closed", "WaitForSingleObject(closed mutex, 0)",
         [] {
             HANDLE h = platform::MutexHandle(CreateMutexA(nullptr, FALSE, nullptr)).get();
             return CALL(WaitForSingleObject(h, 0));
         }},
        {"mutex.open-missing", "OpenMutexA(SYNCHRONIZE|MUTEX_MODIFY_STATE, Global\\missing)",
         [] {
             platform::MutexHandle a;
             return CALL(*a.out() = OpenMutexA(kWaiterRights, FALSE, "Global\\fidelity-missing"));
         }},
        {"mutex.global-shared",
         "CreateMutexA(admin-only descriptor, Global\\probe), OpenMutexA(waiter rights), wait, "
         "release",
         [] { return GlobalMutexCycle(); }},
        {"sddl.valid",
         "ConvertStringSecurityDescriptorToSecurityDescriptorW(D:(A;;GA;;;BA)(A;;GA;;;SY))",
         [] {
             platform::LocalBlock d;
             return CALL(Descriptor(kAdminsOnly, *d.out()));
         }},
        {"sddl.malformed", "ConvertStringSecurityDescriptorToSecurityDescriptorW(D:(A;;GA;;))",
         [] {
             platform::LocalBlock d;
             return CALL(Descriptor("D:(A;;GA;;)", *d.out()));
         }},
        {"localalloc.lptr", "LocalAlloc(LPTR, 16), LocalFree",
         [] {
             HLOCAL b = nullptr;
             std::string r = CALL(b = LocalAlloc(LPTR, 16));
             const bool zero = b && std::all_of(static_cast<char*>(b), static_cast<char*>(b) + 16,
                                                [](char c) { return c == 0; });
             return r + (zero ? " zeroed" : " not-zeroed") + " then " + CALL(LocalFree(b));
         }},
        {"localfree.null", "LocalFree(NULL)", [] { return CALL(LocalFree(nullptr)); }},
    };
    return probes;
}

void BuildMachine(fixture::MachineFixture& machine) {
    machine.AddAdapter(kAdapter);
    machine.AddPort(kPort, kAdapter, kFriendly, "COM7");
    machine.SetValue(kKey, "Dword", REG_DWORD, fixture::Dword(7));
    machine.SetValue(kKey, "Table", REG_BINARY, fixture::Table({{1, 0}, {7, 2}}));
    machine.SetValue(kKey, "Text", REG_SZ, {'C', 0, 'O', 0, 'M', 0, '7', 0, 0, 0});
    machine.SetValue(kKey, "Unterminated", REG_SZ, {'C', 0, 'O', 0, 'M', 0, '7', 0});
}

}  // namespace

int main() {
    std::unique_ptr<fixture::MachineFixture> machine = fixture::MakeMachineFixture();
    BuildMachine(*machine);
    probed = machine.get();
    for (const Probe& probe : Probes()) {
        const std::string result = probe.run();
        std::printf("%s | %s | %s\n", probe.name, probe.call, result.c_str());
        std::fflush(stdout);  // a probe that crashes leaves the lines before it
    }
    std::fflush(stdout);
    return 0;
}
