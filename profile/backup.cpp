#include "backup.h"

#include <map>
#include <optional>
#include <set>

#include "input_error.h"
#include "interface_modes.h"
#include "port_names.h"
#include "position_match.h"

namespace portctl {

namespace {

constexpr int kMaxModelId = 0xFFFF;
constexpr int kMaxPosition = 9999;  // "Port n" carries at most four digits

[[noreturn]] void Fault(const std::string& place, const std::string& what) {
    throw InputError(place + ": " + what);
}

// A value as a message shows it: scalars as JSON, arrays and objects as
// "[...]" and "{...}".  Those are not printed back: printing recurses once
// per level, and a file nested deeply enough would exhaust the stack.
std::string AbbreviatedJson(const Json& value) {
    if (value.is_array()) return "[...]";
    if (value.is_object()) return "{...}";
    return value.dump();
}

// One entry of the file's "ports", checked.
struct Entry {
    std::string key;
    std::string place;  // "ports.COM3"
    std::optional<int> number;
    std::optional<SavedAdapter> adapter;
    std::optional<int> position;
    std::vector<std::pair<const OptionSpec*, int>> options;
};

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
    if (!document.contains("portctl"))
        Fault("portctl", "missing (a portctl export file has \"portctl\": 1)");
    const Json& version = document["portctl"];
    if (!version.is_number_integer() || version.get<long long>() != kBackupVersion) {
        Fault("portctl", "version " + AbbreviatedJson(version) + " is not supported (expected 1)");
    }
    if (!document.contains("ports")) Fault("ports", "missing");
    if (!document["ports"].is_object()) Fault("ports", "not an object of ports");
}

int Bounded(const Json& value, const std::string& place, int low, int high) {
    if (!value.is_number_integer() || value.get<long long>() < low ||
        value.get<long long>() > high) {
        Fault(place, "value " + AbbreviatedJson(value) + " is not a number from " +
                         std::to_string(low) + " to " + std::to_string(high));
    }
    return value.get<int>();
}

SavedAdapter AdapterOf(const Json& value, const std::string& place) {
    if (!value.is_object()) Fault(place, "not an object (id, vendor, product)");
    for (const auto& [key, item] : value.items()) {
        if (key != "id" && key != "vendor" && key != "product") {
            Fault(place + "." + key, "unknown key (expected id, vendor, product)");
        }
    }
    SavedAdapter adapter;
    if (value.contains("id")) {
        if (!value["id"].is_string()) Fault(place + ".id", "not a string");
        adapter.id = value["id"].get<std::string>();
    }
    for (const char* key : {"vendor", "product"}) {
        if (!value.contains(key)) Fault(place + "." + key, "missing");
    }
    adapter.vendor = Bounded(value["vendor"], place + ".vendor", 0, kMaxModelId);
    adapter.product = Bounded(value["product"], place + ".product", 0, kMaxModelId);
    return adapter;
}

Entry ReadEntry(const std::string& key, const Json& value) {
    Entry entry{key, "ports." + key, ParsePortArgument(key), {}, {}, {}};
    if (!entry.number) Fault(entry.place, "not a port name (COMn)");
    if (!value.is_object()) Fault(entry.place, "not an object of options");
    for (const auto& [name, item] : value.items()) {
        const std::string place = entry.place + "." + name;
        if (name == "adapter") {
            if (!item.is_null()) entry.adapter = AdapterOf(item, place);
            continue;
        }
        if (name == "position") {
            if (!item.is_null()) entry.position = Bounded(item, place, 1, kMaxPosition);
            continue;
        }
        const OptionSpec* option = FindOption(name);
        if (!option) Fault(place, "unknown option (options: " + OptionNames() + ")");
        const std::optional<int> parsed = OptionValueFromJson(*option, item);
        if (!parsed)
            Fault(place,
                  "value " + AbbreviatedJson(item) + " out of range (" + option->rangeText + ")");
        entry.options.emplace_back(option, *parsed);
    }
    return entry;
}

// Whether the option calls take the COM number.
bool CallsTake(int number) {
    PortRow row;
    row.number = number;
    return Addressable(row);
}

// The present port of the entry's COM number; none when it is missing and
// missing ports are kept.  A COM number that no port the calls take can
// have is the file's fault either way.
const PortRow* ByNumber(const Entry& entry, const std::map<int, const PortRow*>& present,
                        MissingPort missing) {
    const auto found = present.find(*entry.number);
    if (found != present.end()) return found->second;
    if (missing == MissingPort::kRefused || !CallsTake(*entry.number)) {
        Fault(entry.place, "no such port on this machine");
    }
    return nullptr;
}

// The present port at the entry's position, or why there is none.
PositionMatch ByPosition(const Entry& entry, const std::vector<PortRow>& rows) {
    if (!entry.adapter) return {nullptr, "names no adapter (its export has none)"};
    return MatchByPosition(*entry.adapter, entry.position, rows);
}

// The entry's steps on `row`, or on its own COM number when no row is here.
void AddSteps(const Entry& entry, const PortRow* row, std::vector<ImportStep>& steps) {
    const int number = row ? *row->number : *entry.number;
    for (const auto& [option, value] : entry.options) {
        const std::size_t index = static_cast<std::size_t>(option - Options().data());
        steps.push_back({entry.key, ComName(number), number, option, value,
                         row ? (*row->settings)[index] : Setting{}, row != nullptr,
                         row ? ModeRefusal(*row, *option, value) : std::nullopt});
    }
}

// The number the entry's key gives its port, unless a number no port can
// be given or one an earlier entry gives.
void AddNumber(const Entry& entry, const PortRow& row, std::map<int, std::string>& wanted,
               std::vector<NumberStep>& numbers) {
    const int number = *entry.number;
    if (!CallsTake(number)) Fault(entry.place, "no port can be given " + ComName(number));
    const auto [earlier, fresh] = wanted.emplace(number, entry.place);
    if (!fresh) Fault(entry.place, ComName(number) + " is also given by " + earlier->second);
    numbers.push_back({entry.key, ComName(*row.number), &row, *row.number, number});
}

}  // namespace

Json ExportDocument(const std::vector<PortRow>& rows) {
    Json ports = Json::object();
    for (const PortRow& row : rows) {
        if (!Addressable(row)) continue;
        Json options = Json::object();
        for (std::size_t i = 0; i < Options().size(); ++i) {
            const Setting& setting = (*row.settings)[i];
            if (setting.state != Setting::State::kValue) continue;
            options[Options()[i].name] = SettingJson(Options()[i], setting);
        }
        // A port on an adapter is kept with no option stored too: its
        // entry carries the port's COM number to the port at its place.
        if (options.empty() && !row.adapter) continue;
        Json entry = Json::object();
        if (row.adapter) {
            entry["adapter"] = Json{{"id", row.adapter->id},
                                    {"vendor", row.adapter->vendor},
                                    {"product", row.adapter->product}};
        }
        if (row.position) entry["position"] = *row.position;
        entry.update(options);
        ports[ComName(*row.number)] = entry;
    }
    return Json{{"portctl", kBackupVersion}, {"ports", ports}};
}

std::vector<ImportStep> PlanImport(const Json& document, const std::vector<PortRow>& rows,
                                   MatchBy match, MissingPort missing,
                                   std::vector<NumberStep>* numbers) {
    CheckHeader(document);
    const std::map<int, const PortRow*> present = PresentPorts(rows);
    std::map<int, std::string> taken;   // COM number: the entry that goes there
    std::map<int, std::string> wanted;  // COM number: the entry that carries it
    std::string unmatched;
    std::size_t unmatchedCount = 0;
    std::vector<ImportStep> steps;
    for (const auto& [key, value] : document["ports"].items()) {
        const Entry entry = ReadEntry(key, value);
        // An entry with no option has nothing to give but its number.
        if (entry.options.empty() && !numbers) continue;
        const PortRow* row = nullptr;
        if (match == MatchBy::kNumber) {
            row = ByNumber(entry, present, missing);
        } else {
            const PositionMatch found = ByPosition(entry, rows);
            if (!found.row) {
                unmatched += "\n  " + entry.place + ": " + found.fault;
                ++unmatchedCount;
                continue;
            }
            row = found.row;
        }
        const int number = row ? *row->number : *entry.number;
        const auto [earlier, fresh] = taken.emplace(number, entry.place);
        if (!fresh) {
            Fault(entry.place,
                  ComName(number) + " is given twice" +
                      (match == MatchBy::kNumber ? "" : " (also by " + earlier->second + ")"));
        }
        if (numbers && row) AddNumber(entry, *row, wanted, *numbers);
        AddSteps(entry, row, steps);
    }
    if (unmatchedCount > 0) {
        throw InputError(std::to_string(unmatchedCount) +
                         (unmatchedCount == 1 ? " entry" : " entries") +
                         " cannot be matched by position, so nothing is changed:" + unmatched);
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
