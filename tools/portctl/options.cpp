#include "options.h"

#include "portopt.h"

namespace portctl {

namespace {

int QueryInterface(int port) { return PoGetInterface(port); }
int QueryFastFlush(int port) { return PoGetFastFlush(port); }
int QueryTxMode(int port) { return PoGetTxMode(port); }
int QueryFifo(int port) { return PoGetUARTFIFO(port); }
int ChangeInterface(int port, int value) { return PoSetInterface(port, value); }
int ChangeFastFlush(int port, int value) { return PoSetFastFlush(port, value); }
int ChangeTxMode(int port, int value) { return PoSetTxMode(port, value); }
int ChangeFifo(int port, int value) { return PoSetUARTFIFO(port, value); }

const std::array<OptionSpec, 4> kOptions = {{
    {"interface", 3, false, "0 to 3", QueryInterface, ChangeInterface},
    {"fastflush", 1, true, "on, off, 1 or 0", QueryFastFlush, ChangeFastFlush},
    {"txmode", 1, false, "0 or 1", QueryTxMode, ChangeTxMode},
    {"fifo", 1, true, "on, off, 1 or 0", QueryFifo, ChangeFifo},
}};

std::optional<int> InRange(const OptionSpec& option, long long value) {
    if (value < 0 || value > option.max) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

const std::array<OptionSpec, 4>& Options() { return kOptions; }

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

std::string OptionNames() {
    std::string names;
    for (const OptionSpec& option : kOptions) {
        names += (names.empty() ? "" : ", ") + std::string(option.name);
    }
    return names;
}

bool IsFifo(const OptionSpec& option) { return &option == &kOptions[3]; }

const OptionSpec& InterfaceOption() { return kOptions[0]; }

std::optional<int> ParseOptionValue(const OptionSpec& option, const std::string& text) {
    if (option.onOff && text == "on") return 1;
    if (option.onOff && text == "off") return 0;
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') return std::nullopt;
    return InRange(option, text[0] - '0');
}

std::optional<int> OptionValueFromJson(const OptionSpec& option, const Json& value) {
    if (value.is_boolean()) {
        if (!option.onOff) return std::nullopt;
        return value.get<bool>() ? 1 : 0;
    }
    if (!value.is_number_integer()) return std::nullopt;
    return InRange(option, value.get<long long>());
}

std::string FormatSetting(const OptionSpec& option, const Setting& setting) {
    switch (setting.state) {
        case Setting::State::kNotHad:
            return "n/a";
        case Setting::State::kNotStored:
            return "-";
        case Setting::State::kValue:
            break;
    }
    if (IsFifo(option)) return setting.value ? "on" : "off";
    return std::to_string(setting.value);
}

Json SettingJson(const OptionSpec& option, const Setting& setting) {
    if (setting.state == Setting::State::kNotHad) return nullptr;
    if (IsFifo(option)) return setting.value != 0;
    if (setting.state == Setting::State::kNotStored) return nullptr;
    return setting.value;
}

}  // namespace portctl
