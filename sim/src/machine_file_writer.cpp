// Describes the current machine as a machine file, in the shortest form
// that reads back to exactly the same machine.
#include <nlohmann/json.hpp>

#include "machine_file.h"
#include "machine_file_codec.h"

namespace simwin::detail {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kHexRow = 16;

// Up to one row of bytes as one string, longer data as rows of 16 bytes.
Json HexJson(const Bytes& data) {
    if (data.size() <= kHexRow) return HexText(data.data(), data.size());
    Json rows = Json::array();
    for (std::size_t at = 0; at < data.size(); at += kHexRow)
        rows.push_back(HexText(data.data() + at, std::min(kHexRow, data.size() - at)));
    return rows;
}

Json TypeJson(DWORD type) {
    std::string name = RegTypeName(type);
    return name.empty() ? Json(type) : Json(name);
}

Json ValueJson(const RegValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4)
        return value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
               std::uint32_t(value.data[3]) << 24;
    auto text = (value.type == REG_SZ || value.type == REG_EXPAND_SZ) ? Utf8FromUtf16z(value.data)
                                                                      : std::nullopt;
    if (text && value.type == REG_SZ) return *text;
    Json out = {{"type", TypeJson(value.type)}};
    if (text)
        out["text"] = *text;
    else
        out["hex"] = HexJson(value.data);
    return out;
}

Json DeviceJson(const Device& d) {
    Json out = {{"id", d.instanceId}};
    if (!d.parentId.empty()) out["parent"] = d.parentId;
    if (!d.present) out["present"] = false;
    if (d.status != DeviceDescription{}.status) out["status"] = d.status;
    if (d.friendlyName) {
        if (auto text = TextOfTerminated(*d.friendlyName))
            out["friendlyName"] = *text;
        else
            out["friendlyName"] = {{"hex", HexJson(*d.friendlyName)}};
    }
    if (d.interfaces.empty()) return out;
    Json& interfaces = out["interfaces"] = Json::array();
    for (const DeviceInterface& i : d.interfaces) {
        Json name = InterfaceClassName(i.interfaceClass);
        if (i.devicePath == DefaultDevicePath(d.instanceId, i.interfaceClass))
            interfaces.push_back(name);
        else
            interfaces.push_back({{"class", name}, {"path", i.devicePath}});
    }
    return out;
}

// Every key that holds values or has no subkeys; their ancestors follow
// from their paths.
void AddKeys(const RegKey& key, bool isRoot, Json& registry) {
    if (!key.values.empty() || (key.subkeys.empty() && !isRoot)) {
        Json& values = registry[key.path] = Json::object();
        for (const auto& [name, value] : key.values) values[name] = ValueJson(value);
    }
    for (const auto& [name, child] : key.subkeys) AddKeys(*child, false, registry);
}

Json DriversJson(const std::map<std::string, Driver>& drivers) {
    Json out = Json::object();
    for (const auto& [path, driver] : drivers) {
        Json settings = Json::object();
        if (driver.openError) settings["openError"] = *driver.openError;
        if (driver.rejectError) {
            settings["rejectError"] = driver.rejectError;
            if (driver.acceptBeforeRejecting > 0)
                settings["rejectAfter"] = driver.acceptBeforeRejecting;
        }
        if (!settings.empty()) out[path] = settings;
    }
    return out;
}

}  // namespace

std::string DefaultDevicePath(const std::string& instanceId, const GUID& interfaceClass) {
    std::string path = "\\\\?\\" + instanceId;
    for (std::size_t i = 4; i < path.size(); ++i)
        if (path[i] == '\\') path[i] = '#';
    return path + "#" + GuidText(interfaceClass, false);
}

std::string WriteMachineJson() {
    Json doc = {{"simwin-machine", 1}};
    {
        auto m = Access();
        Json& devices = doc["devices"] = Json::array();
        for (const Device& d : m->devices) devices.push_back(DeviceJson(d));
        Json& registry = doc["registry"] = Json::object();
        AddKeys(*m->registry, true, registry);
        doc["drivers"] = DriversJson(m->drivers);
        if (!m->elevated) doc["elevated"] = false;
    }
    return doc.dump(2) + "\n";
}

}  // namespace simwin::detail
