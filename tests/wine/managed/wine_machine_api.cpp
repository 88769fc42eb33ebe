// The Wine fixture as a DLL with C exports, for the .NET and PowerShell
// suites under Wine (dotnet/wine, powershell/wine): a self-contained .NET
// program loads it, builds its machine through it, gives the package's or
// the module's own portopt.dll the configuration-manager stand-in, and
// reads back through the C calls what the managed code changed.
//
// Every export returns 0 on success and -1 on failure, leaving the reason
// for wm_error; none lets an exception out.
#include <windows.h>
#include <setupapi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config_manager_standin.h"

#include "machine_fixture.h"
#include "port_machine.h"
#include "portopt.h"
#include "wine_machine.h"

#define WM_API extern "C" __declspec(dllexport)

namespace {

std::unique_ptr<fixture::MachineFixture> machine;
std::string lastError;

int Guarded(const std::function<void()>& body) {
    try {
        body();
        return 0;
    } catch (const std::exception& e) {
        lastError = e.what();
    } catch (...) {
        lastError = "unknown failure";
    }
    return -1;
}

fixture::MachineFixture& Machine() {
    if (!machine) throw std::logic_error("no machine: call wm_open first");
    return *machine;
}

const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// Takes the COM-port interface of a fixture port away from SetupAPI's
// present interfaces, as for a driver that registers only the Ports class:
// Wine counts an interface as present only while its Control\Linked is 1.
void UnlinkComPortInterface(const std::string& instanceId) {
    HDEVINFO list = SetupDiGetClassDevsA(&kComPortInterface, instanceId.c_str(), nullptr,
                                         DIGCF_DEVICEINTERFACE | DIGCF_PRESENT);
    if (list == INVALID_HANDLE_VALUE) throw std::runtime_error("no COM-port list for " + instanceId);
    std::unique_ptr<void, decltype(&SetupDiDestroyDeviceInfoList)> owned(list,
                                                                         &SetupDiDestroyDeviceInfoList);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &kComPortInterface, 0, &data)) {
        throw std::runtime_error("no COM-port interface on " + instanceId);
    }
    char block[1024] = {};
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(list, &data, detail, sizeof(block), nullptr, nullptr)) {
        throw std::runtime_error("no device path for " + instanceId);
    }
    const std::string control =
        "System\\CurrentControlSet\\Control\\DeviceClasses\\{86e0d1e0-8089-11d0-9ce4-08003e301f73}\\##?#" +
        std::string(detail->DevicePath + 4) + "\\#\\Control";
    machine->SetValue(control, "Linked", REG_DWORD, fixture::Dword(0));
}

}  // namespace

// The reason the last failing export gave.
WM_API const char* wm_error() { return lastError.c_str(); }

// A fresh, empty machine (the previous one is swept away first).
WM_API int wm_open() {
    return Guarded([] {
        machine.reset();
        machine = fixture::MakeWineMachineFixture(fixture::ConfigManager::kStandIn);
    });
}

// Sweeps the machine's devices and values away.
WM_API int wm_close() {
    return Guarded([] { machine.reset(); });
}

WM_API int wm_add_adapter(const char* instanceId) {
    return Guarded([&] { Machine().AddAdapter(instanceId); });
}

// A port as the fixture makes it; with comPortInterface 0, one whose device
// exposes the Ports-class interface only, which no COM-port listing gives.
WM_API int wm_add_port(const char* instanceId, const char* adapterId, const char* friendlyName,
                       const char* portName, int comPortInterface) {
    return Guarded([&] {
        Machine().AddPort(instanceId, adapterId, friendlyName, portName);
        if (!comPortInterface) UnlinkComPortInterface(instanceId);
    });
}

WM_API int wm_set_port_dword(const char* instanceId, const char* name, unsigned value) {
    return Guarded([&] { Machine().SetPortDword(instanceId, name, value); });
}

// *value gets the DWORD, or -1 when none is stored.
WM_API int wm_get_port_dword(const char* instanceId, const char* name, long long* value) {
    return Guarded([&] {
        auto stored = Machine().GetPortDword(instanceId, name);
        *value = stored ? static_cast<long long>(*stored) : -1;
    });
}

// The adapter's driver accepts `acceptFirst` more requests, then refuses
// each so that its caller is left with `error` (31 or 1; 0 accepts again).
WM_API int wm_refuse_requests(const char* adapterId, unsigned error, int acceptFirst) {
    return Guarded([&] { Machine().RefuseRequests(adapterId, error, acceptFirst); });
}

// How many control requests the adapter's driver received.
WM_API int wm_request_count(const char* adapterId, int* count) {
    return Guarded([&] { *count = static_cast<int>(Machine().Requests(adapterId).size()); });
}

// An option as the C query call of this machine's portopt.dll answers it:
// 0 interface, 1 fast flush, 2 transmit mode, 3 FIFO.
WM_API int wm_query(int option, int port, int* value) {
    return Guarded([&] {
        const fixture::PortoptApi& api = Machine().Portopt();
        const fixture::PortoptApi::Get calls[] = {api.PoGetInterface, api.PoGetFastFlush,
                                                  api.PoGetTxMode, api.PoGetUARTFIFO};
        if (option < 0 || option > 3) throw std::invalid_argument("no option " + std::to_string(option));
        *value = calls[option](port);
    });
}

// The names EnumCOMPortsEx of this machine's comlist.dll gives, each
// followed by a space.
WM_API int wm_listed_names(char* text, int size) {
    return Guarded([&] {
        const fixture::ComlistApi& api = Machine().Comlist();
        std::vector<std::vector<fixture::NameUnit>> buffers(64, std::vector<fixture::NameUnit>(fixture::kNameUnits));
        std::vector<fixture::NameUnit*> names;
        for (auto& buffer : buffers) names.push_back(buffer.data());
        int count = 0;
        if (!api.EnumCOMPortsEx(names.data(), int(names.size()), &count)) {
            throw std::runtime_error("EnumCOMPortsEx failed, error " + std::to_string(GetLastError()));
        }
        std::string joined;
        for (int i = 0; i < count; ++i) {
            for (const fixture::NameUnit* unit = names[i]; *unit; ++unit) joined += char(*unit);
            joined += ' ';
        }
        if (int(joined.size()) >= size) throw std::length_error("names buffer too small");
        std::copy(joined.c_str(), joined.c_str() + joined.size() + 1, text);
    });
}

// A machine of `ports` ports on adapters of eight, every setting stored
// per port, after `otherDevices` devices of other classes, for timings.
WM_API int wm_build_port_machine(int ports, int otherDevices) {
    return Guarded([&] {
        fixture::BuildPortMachine(Machine(), ports, fixture::StoreLayout::kPerPort, otherDevices);
    });
}

// What a listing costs from C: PoGetAllPortInfo into 256 records plus
// EnumCOMPortsEx into 256 buffers, in milliseconds, once.
WM_API int wm_time_native_listing(double* milliseconds) {
    return Guarded([&] {
        static PoPortInfo records[256];
        static fixture::NameUnit buffers[256][fixture::kNameUnits];
        fixture::NameUnit* names[256];
        for (int i = 0; i < 256; ++i) names[i] = buffers[i];
        const fixture::PortoptApi& portopt = Machine().Portopt();
        const fixture::ComlistApi& comlist = Machine().Comlist();
        const auto start = std::chrono::steady_clock::now();
        int count = 0;
        records[0].size = sizeof(PoPortInfo);
        const bool read = portopt.PoGetAllPortInfo(records, 256, &count) == 1 &&
                          comlist.EnumCOMPortsEx(names, 256, &count) == 1;
        *milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!read) throw std::runtime_error("a native listing failed, error " + std::to_string(GetLastError()));
    });
}

// Gives the portopt.dll at `path` (loaded here, and kept loaded) the
// configuration-manager stand-in, before the managed code calls it.
WM_API int wm_install_standin(const wchar_t* path) {
    return Guarded([&] {
        HMODULE module = LoadLibraryW(path);
        if (!module) throw std::runtime_error("cannot load portopt.dll, error " + std::to_string(GetLastError()));
        if (!standin::InstallConfigManagerStandIn(module)) {
            throw std::runtime_error("portopt.dll imports neither configuration-manager call");
        }
    });
}
