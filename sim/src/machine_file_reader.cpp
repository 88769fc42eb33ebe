// Reads a machine file into a MachineDescription, checking all of it:
// every fault is reported with the JSON pointer of its place.
#include <climits>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "machine_file.h"
#include "machine_file_codec.h"
#include "text.h"

namespace simwin::detail {
namespace {

using Json = nlohmann::json;

std::string Child(const std::string& at, const std::string& key) {
    std::string escaped;
    for (char c : key) {
        if (c == '~')
            escaped += "~0";
        else if (c == '/')
            escaped += "~1";
        else
            escaped += c;
    }
    return at + "/" + escaped;
}

std::string Child(const std::string& at, std::size_t index) {
    return at + "/" + std::to_string(index);
}

[[noreturn]] void Fail(const std::string& at, const std::string& what) {
    throw MachineFileError(at.empty() ? "top level" : at, what);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

const Json& Object(const Json& v, const std::string& at, std::initializer_list<const char*> keys) {
    if (!v.is_object()) Fail(at, "expected an object");
    for (const auto& [key, value] : v.items()) {
        bool known = false;
        for (const char* k : keys) known = known || key == k;
        if (!known) Fail(Child(at, key), "unknown key " + Quoted(key));
    }
    return v;
}

const Json* Find(const Json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const std::string& String(const Json& v, const std::string& at) {
    if (!v.is_string()) Fail(at, "expected a string");
    return v.get_ref<const std::string&>();
}

const std::string& NonEmptyString(const Json& v, const std::string& at) {
    const std::string& s = String(v, at);
    if (s.empty()) Fail(at, "must not be empty");
    return s;
}

std::int64_t Integer(const Json& v, const std::string& at, std::int64_t low, std::int64_t high) {
    if (!v.is_number_integer()) Fail(at, "expected an integer");
    if (v.is_number_unsigned() ? v.get<std::uint64_t>() > std::uint64_t(high)
                               : v.get<std::int64_t>() < low || v.get<std::int64_t>() > high)
        Fail(at, "out of range " + std::to_string(low) + " to " + std::to_string(high));
    return v.get<std::int64_t>();
}

DWORD Dword(const Json& v, const std::string& at) { return DWORD(Integer(v, at, 0, 0xFFFFFFFF)); }

// Hex bytes: one string, or an array of strings read one after another.
Bytes Hex(const Json& v, const std::string& at) {
    Bytes out;
    auto append = [&](const Json& part, const std::string& where) {
        if (auto fault = AppendHex(String(part, where), out)) Fail(where, *fault);
    };
    if (v.is_array()) {
        for (std::size_t i = 0; i < v.size(); ++i) append(v[i], Child(at, i));
    } else if (v.is_string()) {
        append(v, at);
    } else {
        Fail(at, "expected hex bytes (a string or an array of strings)");
    }
    return out;
}

Bytes FriendlyName(const Json& v, const std::string& at) {
    if (v.is_string()) return Ascii(v.get<std::string>());
    Object(v, at, {"hex"});
    const Json* hex = Find(v, "hex");
    if (!hex) Fail(at, "expected a string or {\"hex\": ...}");
    return Hex(*hex, Child(at, "hex"));
}

DeviceInterface Interface(const Json& v, const std::string& at, const std::string& instanceId) {
    const Json* name = &v;
    std::string nameAt = at;
    const Json* path = nullptr;
    if (!v.is_string()) {
        Object(v, at, {"class", "path"});
        name = Find(v, "class");
        if (!name) Fail(at, "missing \"class\"");
        nameAt = Child(at, "class");
        path = Find(v, "path");
    }
    auto interfaceClass = InterfaceClassByName(String(*name, nameAt));
    if (!interfaceClass)
        Fail(nameAt, "unknown interface class " + Quoted(name->get<std::string>()) +
                         " (\"ports\", \"comport\" or a braced GUID)");
    std::string devicePath = path ? NonEmptyString(*path, Child(at, "path"))
                                  : DefaultDevicePath(instanceId, *interfaceClass);
    return {*interfaceClass, devicePath};
}

// `earlier`: the lower-case instance IDs of the devices before this one.
DeviceDescription DeviceEntry(const Json& v, const std::string& at,
                              std::set<std::string>& earlier) {
    Object(v, at, {"id", "parent", "present", "status", "friendlyName", "interfaces"});
    auto known = [&](const std::string& id) { return earlier.count(Lower(id)) != 0; };
    DeviceDescription d;
    const Json* id = Find(v, "id");
    if (!id) Fail(at, "missing \"id\"");
    d.instanceId = NonEmptyString(*id, Child(at, "id"));
    if (known(d.instanceId)) Fail(Child(at, "id"), "duplicate instance ID " + Quoted(d.instanceId));
    if (const Json* parent = Find(v, "parent")) {
        d.parentId = String(*parent, Child(at, "parent"));
        if (!d.parentId.empty() && !known(d.parentId))
            Fail(Child(at, "parent"), "unknown parent " + Quoted(d.parentId) +
                                          " (a parent must be listed before its children)");
    }
    if (const Json* present = Find(v, "present")) {
        if (!present->is_boolean()) Fail(Child(at, "present"), "expected true or false");
        d.present = present->get<bool>();
    }
    if (const Json* status = Find(v, "status")) d.status = Dword(*status, Child(at, "status"));
    if (const Json* name = Find(v, "friendlyName"))
        d.friendlyName = FriendlyName(*name, Child(at, "friendlyName"));
    if (const Json* interfaces = Find(v, "interfaces")) {
        const std::string listAt = Child(at, "interfaces");
        if (!interfaces->is_array()) Fail(listAt, "expected an array");
        for (std::size_t i = 0; i < interfaces->size(); ++i)
            d.interfaces.push_back(Interface((*interfaces)[i], Child(listAt, i), d.instanceId));
    }
    earlier.insert(Lower(d.instanceId));
    return d;
}

RegValue Value(const Json& v, const std::string& at) {
    if (v.is_number_integer())
        return {REG_DWORD, simwin::Dword(DWORD(Integer(v, at, INT32_MIN, 0xFFFFFFFF)))};
    if (v.is_string()) return {REG_SZ, Utf16zFromUtf8(v.get<std::string>())};
    if (!v.is_object())
        Fail(at,
             "expected a number (REG_DWORD), a string (REG_SZ) or {\"type\": ..., "
             "\"hex\"|\"text\": ...}");
    Object(v, at, {"type", "hex", "text"});
    RegValue value;
    const Json* type = Find(v, "type");
    if (!type) Fail(at, "missing \"type\"");
    if (type->is_string()) {
        auto byName = RegTypeByName(type->get<std::string>());
        if (!byName)
            Fail(Child(at, "type"), "unknown registry type " + Quoted(type->get<std::string>()));
        value.type = *byName;
    } else {
        value.type = Dword(*type, Child(at, "type"));
    }
    const Json* hex = Find(v, "hex");
    const Json* text = Find(v, "text");
    if (!hex == !text) Fail(at, "needs exactly one of \"hex\" and \"text\"");
    value.data =
        hex ? Hex(*hex, Child(at, "hex")) : Utf16zFromUtf8(String(*text, Child(at, "text")));
    return value;
}

std::string CanonicalPath(const std::string& path) {
    std::string canonical;
    for (const std::string& part : SplitPath(path)) canonical = JoinPath(canonical, part);
    return canonical;
}

std::vector<KeyDescription> Registry(const Json& v, const std::string& at) {
    if (!v.is_object()) Fail(at, "expected an object of key paths");
    std::vector<KeyDescription> keys;
    std::map<std::string, std::string> seen;  // lower-case canonical path -> its place
    for (const auto& [path, values] : v.items()) {
        const std::string keyAt = Child(at, path);
        auto [it, fresh] = seen.emplace(Lower(CanonicalPath(path)), keyAt);
        if (!fresh) Fail(keyAt, "the same key as " + it->second);
        if (!values.is_object()) Fail(keyAt, "expected an object of values");
        KeyDescription key{path, {}};
        std::map<std::string, bool, NameLess> names;
        for (const auto& [name, value] : values.items()) {
            if (!names.emplace(name, true).second)
                Fail(Child(keyAt, name), "duplicate value name " + Quoted(name));
            key.values.emplace_back(name, Value(value, Child(keyAt, name)));
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<DriverDescription> Drivers(const Json& v, const std::string& at) {
    if (!v.is_object()) Fail(at, "expected an object of device paths");
    std::vector<DriverDescription> drivers;
    std::map<std::string, bool, NameLess> paths;
    for (const auto& [path, settings] : v.items()) {
        const std::string driverAt = Child(at, path);
        if (path.empty()) Fail(driverAt, "empty device path");
        if (!paths.emplace(path, true).second) Fail(driverAt, "duplicate device path");
        Object(settings, driverAt, {"openError", "rejectError", "rejectAfter"});
        DriverDescription d{path, std::nullopt, 0, 0};
        if (const Json* e = Find(settings, "openError"))
            d.openError = Dword(*e, Child(driverAt, "openError"));
        if (const Json* e = Find(settings, "rejectError"))
            d.rejectError = Dword(*e, Child(driverAt, "rejectError"));
        if (const Json* n = Find(settings, "rejectAfter")) {
            if (d.rejectError == 0) Fail(Child(driverAt, "rejectAfter"), "needs \"rejectError\"");
            d.rejectAfter = int(Integer(*n, Child(driverAt, "rejectAfter"), 0, INT_MAX));
        }
        drivers.push_back(d);
    }
    return drivers;
}

Json Parse(const char* text, std::size_t length) {
    try {
        return Json::parse(text, text + length);
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line L, column C: why"
        std::string what = e.what();
        const std::string marker = "parse error at ";
        std::size_t at = what.find(marker);
        throw std::runtime_error(at == std::string::npos ? what : what.substr(at + marker.size()));
    }
}

}  // namespace

MachineDescription ReadMachineDescription(const char* text, std::size_t length) {
    const Json doc = Parse(text, length);
    Object(doc, "", {"simwin-machine", "devices", "registry", "drivers", "elevated"});
    const Json* version = Find(doc, "simwin-machine");
    if (!version) Fail("", "missing \"simwin-machine\": 1 (not a machine file?)");
    if (!version->is_number()) Fail("/simwin-machine", "expected the number 1");
    // Only a number is printed back: dumping a deeply nested value would
    // recurse without bound.
    if (*version != 1)
        Fail("/simwin-machine", "unsupported version " + version->dump() + " (expected 1)");

    MachineDescription machine;
    if (const Json* devices = Find(doc, "devices")) {
        if (!devices->is_array()) Fail("/devices", "expected an array");
        std::set<std::string> ids;
        for (std::size_t i = 0; i < devices->size(); ++i)
            machine.devices.push_back(DeviceEntry((*devices)[i], Child("/devices", i), ids));
    }
    if (const Json* registry = Find(doc, "registry"))
        machine.keys = Registry(*registry, "/registry");
    if (const Json* drivers = Find(doc, "drivers")) machine.drivers = Drivers(*drivers, "/drivers");
    if (const Json* elevated = Find(doc, "elevated")) {
        if (!elevated->is_boolean()) Fail("/elevated", "expected true or false");
        machine.elevated = elevated->get<bool>();
    }
    return machine;
}

}  // namespace simwin::detail
