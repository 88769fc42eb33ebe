#include "port_names.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace portctl {

namespace {

constexpr std::size_t kMaxDigits = 9;  // keeps every number within an int

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::optional<int> DecimalNumber(const std::string& digits) {
    if (!AllDigits(digits) || digits.size() > kMaxDigits) return std::nullopt;
    return std::stoi(digits);
}

bool HasComPrefix(const std::string& name) {
    return name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(name[2])) == 'M';
}

}  // namespace

std::optional<int> ComNumberOf(const std::string& name) {
    if (!HasComPrefix(name)) return std::nullopt;
    return DecimalNumber(name.substr(3));
}

std::optional<int> ParsePortArgument(const std::string& text) {
    if (AllDigits(text)) return DecimalNumber(text);
    return ComNumberOf(text);
}

std::string ComName(int number) { return "COM" + std::to_string(number); }

std::vector<std::size_t> NaturalOrder(const std::vector<std::string>& names) {
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::optional<int> na = ComNumberOf(names[a]);
        const std::optional<int> nb = ComNumberOf(names[b]);
        if (na && nb) return *na < *nb;
        return na.has_value() && !nb.has_value();
    });
    return order;
}

}  // namespace portctl
