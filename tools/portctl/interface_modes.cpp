#include "interface_modes.h"

namespace portctl {

std::vector<int> ModesOf(int modes) {
    std::vector<int> list;
    for (int mode = 0; mode <= InterfaceOption().max; ++mode) {
        if ((modes >> mode) & 1) list.push_back(mode);
    }
    return list;
}

std::string ModeList(int modes) {
    const std::vector<int> list = ModesOf(modes);
    std::string text;
    for (std::size_t i = 0; i < list.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == list.size() ? " and " : ", ") + std::to_string(list[i]);
    }
    return text;
}

std::optional<std::string> ModeRefusal(const PortRow& row, const OptionSpec& option, int value) {
    if (&option != &InterfaceOption() || !row.adapter || !row.modes) return std::nullopt;
    if ((*row.modes >> value) & 1) return std::nullopt;
    const bool one = ModesOf(*row.modes).size() == 1;
    return "the adapter " + AdapterLabel(*row.adapter) + " (" + row.adapter->id +
           ") takes interface mode" + (one ? " " : "s ") + ModeList(*row.modes) + " only, not " +
           std::to_string(value);
}

}  // namespace portctl
