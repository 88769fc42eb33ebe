#include "interface_modes.h"

namespace portctl {

std::vector<int> ModesOf(int modes) {
    std::vector<int> list;
    for (int mode = 0; mode <= InterfaceOption().max; ++mode) {
        if ((modes >> mode) & 1) list.push_back(mode);
    }
    return list;
}

std::string ModeRange(int modes) {
    const std::vector<int> list = ModesOf(modes);
    if (list.empty()) return "-";
    if (list.size() > 1 && list.back() - list.front() + 1 == int(list.size())) {
        return std::to_string(list.front()) + "-" + std::to_string(list.back());
    }
    std::string text;
    for (int mode : list) text += (text.empty() ? "" : ",") + std::to_string(mode);
    return text;
}

std::optional<std::string> ModeRefusal(const PortRow& row, const OptionSpec& option, int value) {
    if (&option != &InterfaceOption() || !row.adapter || !row.modes) return std::nullopt;
    if ((*row.modes >> value) & 1) return std::nullopt;
    const std::vector<int> modes = ModesOf(*row.modes);
    std::string list;
    for (std::size_t i = 0; i < modes.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == modes.size() ? " and " : ", ") + std::to_string(modes[i]);
    }
    return "the adapter " + AdapterLabel(*row.adapter) + " (" + row.adapter->id +
           ") takes interface mode" + (modes.size() == 1 ? " " : "s ") + list + " only, not " +
           std::to_string(value);
}

}  // namespace portctl
