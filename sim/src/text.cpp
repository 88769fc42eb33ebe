#include "text.h"

#include <algorithm>
#include <cctype>

namespace simwin::detail {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {
unsigned char LowerByte(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}
}  // namespace

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerByte(a[i]) != LowerByte(b[i])) return false;
    return true;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = LowerByte(a[i]), y = LowerByte(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

Bytes Widen(const std::uint8_t* data, std::size_t size) {
    Bytes out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        out.push_back(0);
    }
    return out;
}

Bytes Narrow(const std::uint8_t* data, std::size_t size) {
    Bytes out;
    out.reserve((size + 1) / 2);
    for (std::size_t i = 0; i < size; i += 2) {
        unsigned unit = data[i] | (i + 1 < size ? data[i + 1] << 8 : 0);
        out.push_back(unit > 0x7F ? '?' : static_cast<std::uint8_t>(unit));
    }
    return out;
}

std::string NarrowName(const WCHAR* s) {
    std::string out;
    if (!s) return out;
    for (; *s; ++s) {
        char32_t c = *s;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace simwin::detail
