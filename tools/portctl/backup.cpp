#include "backup.h"

#include <map>
#include <set>

#include "input_error.h"
#include "port_names.h"

namespace portctl {

namespace {

[[noreturn]] void Fault(const std::string& place, const std::string& what) {
    throw InputError(place + ": " + what);
}

// A value as a message shows it.  Arrays and objects are not printed back:
// printing recurses once per level, and a file nested deeply enough would
// exhaust the stack.
std::string Shown(const Json& value) {
    if (value.is_array()) return "[...]";
    if (value.is_object()) return "{...}";
    return value.dump();
}

// The first row of each present COM number.
std::map<int, const PortRow*> PresentPorts(const std::vector<PortRow>& rows) {
    std::map<int, const PortRow*> present;
    for (const PortRow& row : rows) {
        if (Addressable(row)) present.emplace(*row.number, &row);
    }
    return present;
}

void CheckHeader(const Json& document) {
    if (!document.is_object()) Fault("the file", "not a JSON object");
    for (const auto& [key, value] : document.items()) {
        if (key != "portctl" && key != "ports") Fault(key, "unknown key (expected portctl, ports)");
    }
    if (!document.contains("portctl")) Fault("portctl", "missing (a portctl export file has \"portctl\": 1)");
    const Json& version = document["portctl"];
    if (!version.is_number_integer() || version.get<long long>() != kBackupVersion) {
        Fault("portctl", "version " + Shown(version) + " is not supported (expected 1)");
    }
    if (!document.contains("ports")) Fault("ports", "missing");
    if (!document["ports"].is_object()) Fault("ports", "not an object of ports");
}

void PlanPort(const std::string& key, const Json& options, const PortRow& row,
              std::vector<ImportStep>& steps) {
    const std::string place = "ports." + key;
    if (!options.is_object()) Fault(place, "not an object of options");
    for (const auto& [name, value] : options.items()) {
        const OptionSpec* option = FindOption(name);
        if (!option) Fault(place + "." + name, "unknown option (options: " + OptionNames() + ")");
        const std::optional<int> parsed = OptionValueFromJson(*option, value);
        if (!parsed) {
            Fault(place + "." + name, "value " + Shown(value) + " out of range (" +
                                          option->rangeText + ")");
        }
        const std::size_t index = static_cast<std::size_t>(option - Options().data());
        steps.push_back({ComName(*row.number), *row.number, option, *parsed, (*row.settings)[index]});
    }
}

}  // namespace

Json ExportDocument(const std::vector<PortRow>& rows) {
    Json ports = Json::object();
    for (const PortRow& row : rows) {
        if (!Addressable(row)) continue;
        const std::string name = ComName(*row.number);
        Json options = Json::object();
        for (std::size_t i = 0; i < Options().size(); ++i) {
            const Setting& setting = (*row.settings)[i];
            if (setting.state != Setting::State::kValue) continue;
            options[Options()[i].name] = SettingJson(Options()[i], setting);
        }
        if (!options.empty()) ports[name] = options;
    }
    return Json{{"portctl", kBackupVersion}, {"ports", ports}};
}

std::vector<ImportStep> PlanImport(const Json& document, const std::vector<PortRow>& rows) {
    CheckHeader(document);
    const std::map<int, const PortRow*> present = PresentPorts(rows);
    std::set<int> seen;
    std::vector<ImportStep> steps;
    for (const auto& [key, options] : document["ports"].items()) {
        const std::optional<int> number = ParsePortArgument(key);
        if (!number) Fault("ports." + key, "not a port name (COMn)");
        const auto found = present.find(*number);
        if (found == present.end()) Fault("ports." + key, "no such port on this machine");
        if (!seen.insert(*number).second) Fault("ports." + key, ComName(*number) + " is given twice");
        PlanPort(key, options, *found->second, steps);
    }
    return steps;
}

bool Unchanged(const ImportStep& step) {
    // The FIFO's query answers "disabled" also when nothing is stored.
    const bool known = step.current.state == Setting::State::kValue ||
                       (IsFifo(*step.option) && step.current.state == Setting::State::kNotStored);
    return known && step.current.value == step.value;
}

}  // namespace portctl
