// Friendly-name parsing: "... Port 2 (COM7)" carries COM 7 on channel 1.
#include <cstddef>
#include <string_view>

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

// The digits that follow the last occurrence of `token` in `name` (empty
// when the last occurrence has none, or when there is no occurrence).
// After a digit run the search resumes behind the digits, otherwise just
// behind the token.
std::string_view DigitsAfterLast(std::string_view name, std::string_view token) {
    std::string_view digits;
    std::size_t pos = name.find(token);
    while (pos != std::string_view::npos) {
        const std::size_t start = pos + token.size();
        const std::size_t n = DigitRun(name, start);
        digits = name.substr(start, n);
        pos = name.find(token, start + n);
    }
    return digits;
}

int DecimalValue(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

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
