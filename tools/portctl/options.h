// The four port options as the tool names them, with their ranges, their
// exported query and change calls, and how their values are written on the
// command line, in tables and in JSON.
#ifndef PORTCTL_OPTIONS_H
#define PORTCTL_OPTIONS_H

#include <array>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace portctl {

using Json = nlohmann::ordered_json;

struct OptionSpec {
    const char* name;                    // "interface", "fastflush", "txmode", "fifo"
    int max;                             // values run from 0 to max
    bool onOff;                          // also written on/off (and true/false in JSON)
    const char* rangeText;               // for messages: "0 to 3"
    int (*query)(int port);              // the exported query call
    int (*change)(int port, int value);  // the exported change call
};

const std::array<OptionSpec, 4>& Options();
const OptionSpec* FindOption(const std::string& name);
// "interface, fastflush, txmode, fifo"
std::string OptionNames();

// A value as typed on the command line ("2", "on", "off"); nullopt when it
// is not one of the option's values.
std::optional<int> ParseOptionValue(const OptionSpec& option, const std::string& text);
// A value as written in an import file; nullopt when it is not one of the
// option's values.
std::optional<int> OptionValueFromJson(const OptionSpec& option, const Json& value);

// What the query call's answer means for one port.
struct Setting {
    enum class State { kValue, kNotStored, kNotHad };
    State state = State::kNotStored;
    int value = 0;
};

// "-" when not stored, "n/a" when the family does not have the option,
// "on"/"off" for the FIFO, else the number.
std::string FormatSetting(const OptionSpec& option, const Setting& setting);
// null when not had; the FIFO as true/false (false also when not stored,
// as its query call answers); other options null when not stored.
Json SettingJson(const OptionSpec& option, const Setting& setting);

bool IsFifo(const OptionSpec& option);
// The interface mode's entry of Options().
const OptionSpec& InterfaceOption();

}  // namespace portctl

#endif
