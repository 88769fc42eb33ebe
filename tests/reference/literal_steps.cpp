// The steps of the calls as they were: the product lookup, the channel open
// and the store's read and write each build their own lists and walk the
// ports list from the start.  They reuse the library's parsers, matches and
// value readers, which did not change.
#include "literal_steps.h"

#include <cstdint>
#include <new>

#include "adapter_channel.h"
#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"
#include "settings_store.h"
#include "store_layouts.h"
#include "table_lock.h"

namespace literal {

namespace {

thread_local Trace* activeTrace = nullptr;

void Note(std::optional<DWORD> Trace::*step, DWORD index) {
    if (activeTrace) activeTrace->*step = index;
}

platform::DeviceList PortsList() {
    return platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
}
// Present devices exposing an interface of any class.
platform::DeviceList AllDevicesList() {
    return platform::GetDeviceList(nullptr,
                                   DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE);
}

const char* SwitchKey(int productId) {
    return portopt::IsTovelserFamily(productId)
               ? "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc"
               : "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";
}

bool NameCarries(HDEVINFO list, SP_DEVINFO_DATA& device, int port, int& channel) {
    const std::optional<std::string> name = platform::ReadFriendlyName(list, device);
    return name && portopt::ParseFriendlyName(*name, channel) == port;
}

std::optional<portopt::PortMatch> MatchPort(HDEVINFO list, SP_DEVINFO_DATA& device, int port,
                                            int& channel) {
    if (!NameCarries(list, device, port, channel)) return std::nullopt;
    return portopt::MatchParent(device.DevInst);
}

}  // namespace

void TraceInto(Trace* trace) { activeTrace = trace; }

int LookupProductId(int port) {
    try {
        const platform::DeviceList ports = PortsList();
        if (!ports) return portopt::kNoDeviceLists;
        const platform::DeviceList all = AllDevicesList();
        if (!all) return portopt::kNoDeviceLists;
        SP_DEVINFO_DATA device = platform::NewDeviceRecord();
        for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
            int channel = portopt::kNoChannel;
            const auto match = MatchPort(ports.get(), device, port, channel);
            if (!match) continue;
            SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
            if (!platform::OpenDeviceInfo(all.get(), match->parentInstanceId, adapter)) continue;
            const auto adapterId = platform::ReadDeviceInstanceId(all.get(), adapter, 200);
            if (!adapterId) continue;
            Note(&Trace::lookup, index);
            return portopt::ProductIdOf(*adapterId);
        }
        return portopt::kNoMatchingPort;
    } catch (const std::bad_alloc&) {
        return portopt::kNoDeviceLists;
    }
}

platform::DeviceHandle OpenAdapterChannel(int port, int& channel) {
    const platform::DeviceList ports = PortsList();
    if (!ports) return {};
    const platform::DeviceList all = AllDevicesList();
    if (!all) return {};
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
        const auto match = MatchPort(ports.get(), device, port, channel);
        if (!match) continue;
        SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
        if (!platform::OpenDeviceInfo(all.get(), match->parentInstanceId, adapter)) continue;
        const std::optional<std::string> path = portopt::AdapterDevicePath(all.get(), adapter);
        if (!path) continue;
        Note(&Trace::channel, index);
        return platform::DeviceHandle(CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
    }
    return {};
}

namespace {

int ReadTable(const char* switchKey, int port, const char* name) {
    const auto table = portopt::ReadStoredTable(switchKey, name);
    if (!table) return portopt::kNotStored;
    const int value = portopt::TableValue(*table, port);
    if (value == portopt::kNotStored) SetLastError(ERROR_FILE_NOT_FOUND);
    return value;
}

int ReadPerPort(int port, const char* name) {
    std::optional<std::uint32_t> found;
    {
        const platform::DeviceList ports = PortsList();
        if (!ports) return portopt::kNotStored;
        SP_DEVINFO_DATA device = platform::NewDeviceRecord();
        for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
            int channel = portopt::kNoChannel;
            if (!NameCarries(ports.get(), device, port, channel)) continue;
            const platform::RegistryKey key =
                platform::OpenHardwareKey(ports.get(), device, KEY_READ);
            if (!key) continue;
            found = portopt::ReadHardwareValue(key.get(), name);
            if (found) {
                Note(&Trace::reader, index);
                break;
            }
        }
    }
    const int value = portopt::PerPortValue(found);
    if (value == portopt::kNotStored) SetLastError(ERROR_FILE_NOT_FOUND);
    return value;
}

// The first port whose name carries the COM number: the one the writer
// writes.  `write` is called with it; without one, the writer fails.
template <typename Write>
bool ForFirstNameMatch(int port, Write write) {
    const platform::DeviceList ports = PortsList();
    if (!ports) return false;
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
        int channel = portopt::kNoChannel;
        if (!NameCarries(ports.get(), device, port, channel)) continue;
        Note(&Trace::writer, index);
        return write(ports.get(), device);
    }
    return false;
}

bool WritePerPort(int port, const char* name, std::int32_t value, DWORD size) {
    return ForFirstNameMatch(port, [&](HDEVINFO list, SP_DEVINFO_DATA& device) {
        const platform::RegistryKey key = platform::OpenHardwareKey(list, device, KEY_WRITE);
        if (!key) return false;
        const auto bits = static_cast<std::uint32_t>(value);
        const BYTE bytes[4] = {BYTE(bits), BYTE(bits >> 8), BYTE(bits >> 16), BYTE(bits >> 24)};
        return RegSetValueExA(key.get(), name, 0, REG_DWORD, bytes, size) == ERROR_SUCCESS;
    });
}

}  // namespace

Place LocateSetting(int productId, const char* name) {
    return {productId, name, portopt::ReadSwitch(portopt::FamilyOf(productId)) != 0};
}

int ReadSetting(const Place& place, int port) {
    try {
        if (place.sharedTable) {
            return ReadTable(SwitchKey(place.productId), port, place.valueName);
        }
        return ReadPerPort(port, place.valueName);
    } catch (const std::bad_alloc&) {
        return portopt::kNotStored;
    }
}

bool WriteSetting(const Place& place, int port, std::int32_t value) {
    try {
        if (place.sharedTable) {
            const portopt::TableLock lock(portopt::FamilyOf(place.productId));
            return portopt::WriteTableSetting(SwitchKey(place.productId), port, place.valueName,
                                              value);
        }
        return WritePerPort(port, place.valueName, value, 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int ReadPortSetting(int port, const char* name) {
    return ReadSetting(LocateSetting(LookupProductId(port), name), port);
}

Trace ProbeSteps(int port, const char* tovelserName, const char* otherName) {
    Trace trace;
    Trace* const outer = activeTrace;
    activeTrace = &trace;
    const int product = LookupProductId(port);
    int channel = portopt::kNoChannel;
    OpenAdapterChannel(port, channel);  // closed again at once
    const char* name = portopt::IsTovelserFamily(product) ? tovelserName : otherName;
    if (name && !LocateSetting(product, name).sharedTable) {
        ReadPerPort(port, name);
        ForFirstNameMatch(port, [](HDEVINFO, SP_DEVINFO_DATA&) { return true; });
    }
    activeTrace = outer;
    return trace;
}

}  // namespace literal
