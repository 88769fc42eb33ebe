#include "generated_machine.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace generated {

namespace {

constexpr const char* kSwitchKeys[] = {"SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc",
                                       "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc"};

// Adapter instance IDs of both families, both buses, capability codes 0x10
// and 0x30, IDs that yield product 0, and IDs of 199 and 200 characters:
// both read as parents, only the shorter reads back from a device list.
const std::vector<std::string>& AdapterIds() {
    static const std::vector<std::string> ids = {
        "USB\\VID_1A2B&PID_2052\\A",
        "USB\\VID_1A2B&PID_1131\\B",
        "USB\\VID_1A2B&PID_1110\\C",
        "PCI\\VEN_10B5&DEV_9050\\D",
        "PCI\\VEN_10B5&DEV_1100\\E",
        "ROOT\\SERIAL\\F",
        "USB\\VID_1A2B&REV_0100\\G",
        "USB\\VID_1A2B&PID_2052\\" + std::string(178, 'H'),
        "USB\\VID_1A2B&PID_2041\\" + std::string(177, 'I')};
    return ids;
}

// An interface class that is neither the ports class nor the COM-port
// interface.
constexpr GUID kOtherClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    Machine Build() {
        simwin::Reset();
        Machine machine;
        std::vector<std::string> adapters;
        for (const std::string& id : AdapterIds()) {
            if (Chance(2, 3)) continue;
            AddAdapter(id, machine);
            adapters.push_back(id);
        }
        const int ports = Pick(0, 14);
        for (int i = 0; i < ports; ++i) machine.ports.push_back(AddPort(i, adapters));
        if (Chance(1, 4)) AddListedOnlyPort();
        // As on a real PC, many more devices, of other classes.
        if (Chance(1, 3)) AddOtherDevices(Pick(100, 400));
        for (const char* key : kSwitchKeys) AddSwitch(key);
        return machine;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int in, int of) { return Pick(1, of) <= in; }

    void AddAdapter(const std::string& id, Machine& machine) {
        simwin::AddDevice(id);
        if (Chance(1, 6)) return;  // no interface at all
        if (Chance(1, 6)) {        // an interface of another class only
            simwin::AddInterface(id, kOtherClass, "\\\\?\\other#" + id);
            return;
        }
        const std::string path = "\\\\?\\" + id;
        simwin::AddInterface(id, simwin::kPortsClass, path);
        machine.adapterPaths.push_back(path);
        if (Chance(1, 8)) simwin::SetUnopenable(path);
        // A driver that refuses every request, or only the one after the
        // first (the old value given back when storing fails).
        if (Chance(1, 8)) simwin::RejectRequests(path, ERROR_GEN_FAILURE, Pick(0, 1));
    }

    void AddOtherDevices(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string id = "OTHERBUS\\DEVICE\\" + std::to_string(i);
            simwin::AddDevice(id);
            simwin::AddInterface(id, kOtherClass, "\\\\?\\" + id);
        }
    }

    std::string FriendlyName(int com) {
        const std::string number = "(COM" + std::to_string(com) + ")";
        switch (Pick(0, 3)) {
            case 0:
                return "Serial " + number;
            case 1:
                return "Adapter Port " + std::to_string(Pick(0, 5)) + " " + number;
            case 2:
                return "COMBO Port " + std::to_string(Pick(1, 4)) + " " + number;
            default:
                return "Port 12345 " + number;  // a name that matches nothing
        }
    }

    std::string AddPort(int index, const std::vector<std::string>& adapters) {
        const std::string id = "PORTBUS\\PORT\\" + std::to_string(index);
        const bool orphan = adapters.empty() || Chance(1, 6);
        simwin::AddDevice(id, orphan ? "" : adapters[Pick(0, int(adapters.size()) - 1)]);
        if (!Chance(1, 12)) simwin::SetFriendlyName(id, FriendlyName(Pick(1, kHighestCom)));
        if (Chance(1, 10)) simwin::SetStatus(id, 13);
        if (Chance(1, 12)) simwin::SetPresent(id, false);
        simwin::AddInterface(id, simwin::kPortsClass, "\\\\?\\" + id);
        // Many drivers register a COM-port interface too, which the lister
        // lists by its "PortName"; others register the ports class only.
        const bool listed = Chance(1, 2);
        if (listed) simwin::AddInterface(id, simwin::kComPortInterface, "\\\\?\\com#" + id);
        if (Chance(1, 8)) return id;  // no hardware key
        const std::string key = simwin::HardwareKeyPath(id);
        simwin::CreateKey(key);
        if (listed) SetPortName(key);
        for (const char* name : kSettings) {
            switch (Pick(0, 5)) {
                case 0:
                    break;  // not stored
                case 1:
                    simwin::SetDword(key, name, 0xFFFFFFFF);
                    break;
                case 2:
                    simwin::SetValue(key, name, REG_BINARY, {std::uint8_t(Pick(0, 3))});
                    break;
                default:
                    simwin::SetDword(key, name, std::uint32_t(Pick(0, 3)));
                    break;
            }
        }
        if (Chance(1, 8)) simwin::RestrictKey(key, KEY_READ);
        return id;
    }

    void SetPortName(const std::string& key) {
        simwin::SetValue(key, "PortName", REG_SZ,
                         simwin::Utf16z("COM" + std::to_string(Pick(1, kHighestCom))));
    }

    // A port of a driver that registers a COM-port interface only, which
    // the option calls do not see.
    void AddListedOnlyPort() {
        const std::string id = "VIRTUAL\\COM\\0";
        simwin::AddDevice(id);
        simwin::AddInterface(id, simwin::kComPortInterface, "\\\\?\\com#" + id);
        simwin::CreateKey(simwin::HardwareKeyPath(id));
        SetPortName(simwin::HardwareKeyPath(id));
    }

    void AddSwitch(const char* key) {
        if (Chance(1, 4)) return;
        simwin::CreateKey(key);
        if (!Chance(1, 4)) simwin::SetDword(key, "FixComFunc", std::uint32_t(Pick(0, 1)));
        for (const char* name : kSettings) {
            if (Chance(1, 5)) continue;
            // Mostly whole tables; some short ones, some too long to read.
            const int sizes[] = {256, 256, 256, 8, 300};
            simwin::Bytes table(std::size_t(sizes[Pick(0, 4)]), 0xFF);
            for (auto& byte : table) {
                if (!Chance(1, 3)) byte = std::uint8_t(Pick(0, 3));
            }
            simwin::SetValue(key, name, REG_BINARY, table);
        }
        if (Chance(1, 10)) simwin::RestrictKey(key, KEY_READ);
    }

    std::mt19937 random_;
};

}  // namespace

Machine Build(unsigned seed) { return Generator(seed).Build(); }

State Observe(const Machine& machine) {
    State state;
    std::vector<std::string> keys(std::begin(kSwitchKeys), std::end(kSwitchKeys));
    for (const std::string& port : machine.ports) keys.push_back(simwin::HardwareKeyPath(port));
    for (const std::string& key : keys) {
        for (const char* name : kSettings) state.values[{key, name}] = simwin::GetValue(key, name);
    }
    for (const std::string& path : machine.adapterPaths) {
        state.requests[path] = simwin::Requests(path);
    }
    return state;
}

namespace {

std::string Show(const std::optional<simwin::RegValue>& value) {
    if (!value) return "(none)";
    std::ostringstream out;
    out << "type " << value->type << ":";
    for (std::uint8_t byte : value->data) out << ' ' << int(byte);
    return out.str();
}

std::string Show(const std::vector<simwin::Request>& requests) {
    std::ostringstream out;
    for (const simwin::Request& request : requests) {
        out << " 0x" << std::hex << request.code << std::dec << ":";
        for (std::uint8_t byte : request.input) out << ' ' << int(byte);
        out << ';';
    }
    return out.str();
}

bool Same(const std::optional<simwin::RegValue>& a, const std::optional<simwin::RegValue>& b) {
    return a.has_value() == b.has_value() && (!a || (a->type == b->type && a->data == b->data));
}

bool Same(const std::vector<simwin::Request>& a, const std::vector<simwin::Request>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.code == y.code && x.input == y.input;
    });
}

}  // namespace

std::string Differences(const State& got, const State& want) {
    std::ostringstream out;
    for (const auto& [where, value] : want.values) {
        const auto found = got.values.find(where);
        const std::optional<simwin::RegValue> other =
            found == got.values.end() ? std::nullopt : found->second;
        if (!Same(other, value)) {
            out << where.first << "\\" << where.second << ": " << Show(other) << ", want "
                << Show(value) << '\n';
        }
    }
    for (const auto& [path, requests] : want.requests) {
        const auto found = got.requests.find(path);
        const std::vector<simwin::Request> other =
            found == got.requests.end() ? std::vector<simwin::Request>{} : found->second;
        if (!Same(other, requests)) {
            out << path << ":" << Show(other) << " want" << Show(requests) << '\n';
        }
    }
    return out.str();
}

}  // namespace generated
