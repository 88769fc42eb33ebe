// Friendly-name parsing: "... Port 2 (COM7)" carries COM 7 on channel 1.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "port_identity.h"

namespace portopt {

namespace {

// At most this many digits make a COM or port number; a longer run
// makes the name match nothing.
constexpr std::size_t kMaxDigits = 4;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t DigitRun(std::string_view text, std::size_t from) {
    std::size_t n = 0;
    while (from + n < text.size() && IsDigit(text[from + n])) ++n;
    return n;
}

// Where the digits after the last occurrence of `token` start, and how
// many there are; npos when there is no occurrence.
std::pair<std::size_t, std::size_t> LastDigitRun(std::string_view name, std::string_view token) {
    std::pair<std::size_t, std::size_t> run{std::string_view::npos, 0};
    std::size_t pos = name.find(token);
    while (pos != std::string_view::npos) {
        const std::size_t start = pos + token.size();
        run = {start, DigitRun(name, start)};
        pos = name.find(token, start + run.second);
    }
    return run;
}

// The digits that follow the last occurrence of `token` in `name` (empty
// when the last occurrence has none, or when there is no occurrence).
// After a digit run the search resumes behind the digits, otherwise just
// behind the token.
std::string_view DigitsAfterLast(std::string_view name, std::string_view token) {
    const auto [start, n] = LastDigitRun(name, token);
    return start == std::string_view::npos ? std::string_view() : name.substr(start, n);
}

int DecimalValue(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

std::optional<std::string> WithComNumber(std::string_view name, int number) {
    int channel = kNoChannel;
    if (ParseFriendlyName(name, channel) == 0) return std::nullopt;
    const auto [start, n] = LastDigitRun(name, "COM");
    std::string renamed(name.substr(0, start));
    renamed += std::to_string(number);
    renamed += name.substr(start + n);
    return renamed;
}

int ParseFriendlyName(std::string_view name, int& channel) {
    channel = kNoChannel;

    const std::string_view comDigits = DigitsAfterLast(name, "COM");
    if (comDigits.empty() || comDigits.size() > kMaxDigits) return 0;
    const int comNumber = DecimalValue(comDigits);

    const std::string_view portDigits = DigitsAfterLast(name, "Port ");
    if (portDigits.empty()) return comNumber;
    if (portDigits.size() > kMaxDigits) return 0;

    channel = DecimalValue(portDigits) - 1;
    return comNumber;
}

}  // namespace portopt
