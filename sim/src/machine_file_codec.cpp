#include "machine_file_codec.h"

#include <cstdio>
#include <cstring>

#include "text.h"

namespace simwin::detail {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one code point of strict UTF-8 at `i`, advancing it; -1 when
// the bytes there are not UTF-8 (overlong forms and surrogates included).
long DecodeUtf8(const std::uint8_t* s, std::size_t size, std::size_t& i) {
    const std::uint8_t lead = s[i++];
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || size - i < std::size_t(extra)) return -1;
    long c = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k, ++i) {
        if ((s[i] & 0xC0) != 0x80) return -1;
        c = (c << 6) | (s[i] & 0x3F);
    }
    static const long kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    return c;
}

void AppendUtf8(long c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
        return;
    }
    int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out += char(kLead[extra] | (c >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) out += char(0x80 | ((c >> (6 * k)) & 0x3F));
}

void AppendUnit(unsigned unit, Bytes& out) {
    out.push_back(std::uint8_t(unit));
    out.push_back(std::uint8_t(unit >> 8));
}

struct NamedGuid {
    const char* name;
    const GUID* guid;
};
const NamedGuid kClasses[] = {{"ports", &kPortsClass}, {"comport", &kComPortInterface}};

const char* const kTypeNames[] = {"REG_NONE",
                                  "REG_SZ",
                                  "REG_EXPAND_SZ",
                                  "REG_BINARY",
                                  "REG_DWORD",
                                  "REG_DWORD_BIG_ENDIAN",
                                  "REG_LINK",
                                  "REG_MULTI_SZ",
                                  "REG_RESOURCE_LIST",
                                  "REG_FULL_RESOURCE_DESCRIPTOR",
                                  "REG_RESOURCE_REQUIREMENTS_LIST",
                                  "REG_QWORD"};
constexpr DWORD kTypeCount = sizeof(kTypeNames) / sizeof(kTypeNames[0]);

}  // namespace

std::string HexText(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i) out += ' ';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::optional<std::string> AppendHex(const std::string& text, Bytes& out) {
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        int digit = HexDigit(c);
        if (digit < 0) return std::string("not a hex digit: '") + c + "'";
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(std::uint8_t(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) return std::string("odd number of hex digits");
    return std::nullopt;
}

Bytes Utf16zFromUtf8(const std::string& text) {
    Bytes out;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        long c = DecodeUtf8(s, text.size(), i);
        if (c < 0) c = 0xFFFD;
        if (c >= 0x10000) {
            AppendUnit(0xD800 | ((c - 0x10000) >> 10), out);
            AppendUnit(0xDC00 | (c & 0x3FF), out);
        } else {
            AppendUnit(unsigned(c), out);
        }
    }
    AppendUnit(0, out);
    return out;
}

std::optional<std::string> Utf8FromUtf16z(const Bytes& data) {
    if (data.size() < 2 || data.size() % 2 || data[data.size() - 2] || data.back()) return {};
    std::string out;
    const std::size_t units = data.size() / 2 - 1;
    auto unit = [&](std::size_t k) { return unsigned(data[2 * k] | data[2 * k + 1] << 8); };
    for (std::size_t k = 0; k < units; ++k) {
        long c = unit(k);
        if (c == 0 || (c >= 0xDC00 && c <= 0xDFFF)) return {};
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (k + 1 >= units || unit(k + 1) < 0xDC00 || unit(k + 1) > 0xDFFF) return {};
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++k) - 0xDC00);
        }
        AppendUtf8(c, out);
    }
    return out;
}

std::optional<std::string> TextOfTerminated(const Bytes& data) {
    if (data.empty() || data.back() != 0) return {};
    const std::size_t size = data.size() - 1;
    for (std::size_t i = 0; i < size;)
        if (data[i] == 0 || DecodeUtf8(data.data(), size, i) < 0) return {};
    return std::string(data.begin(), data.end() - 1);
}

std::string RegTypeName(DWORD type) { return type < kTypeCount ? kTypeNames[type] : ""; }

std::optional<DWORD> RegTypeByName(const std::string& name) {
    for (DWORD t = 0; t < kTypeCount; ++t)
        if (name == kTypeNames[t]) return t;
    return std::nullopt;
}

std::string GuidText(const GUID& g, bool upper) {
    char text[40];
    std::snprintf(text, sizeof text,
                  upper ? "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"
                        : "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::string InterfaceClassName(const GUID& g) {
    for (const NamedGuid& c : kClasses)
        if (std::memcmp(c.guid, &g, sizeof g) == 0) return c.name;
    return GuidText(g, true);
}

std::optional<GUID> InterfaceClassByName(const std::string& name) {
    for (const NamedGuid& c : kClasses)
        if (name == c.name) return *c.guid;
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 32 digits at fixed places.
    static const char kShape[] = "{........-....-....-....-............}";
    if (name.size() != sizeof kShape - 1) return std::nullopt;
    Bytes digits;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (kShape[i] != '.') {
            if (name[i] != kShape[i]) return std::nullopt;
        } else if (HexDigit(name[i]) < 0) {
            return std::nullopt;
        }
    }
    std::string hex;
    for (char c : name)
        if (HexDigit(c) >= 0) hex += c;
    AppendHex(hex, digits);
    GUID g{};
    g.Data1 = DWORD(digits[0]) << 24 | DWORD(digits[1]) << 16 | DWORD(digits[2]) << 8 | digits[3];
    g.Data2 = std::uint16_t(digits[4] << 8 | digits[5]);
    g.Data3 = std::uint16_t(digits[6] << 8 | digits[7]);
    std::memcpy(g.Data4, &digits[8], 8);
    return g;
}

}  // namespace simwin::detail
