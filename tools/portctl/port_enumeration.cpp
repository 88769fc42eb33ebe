#include "port_enumeration.h"

#include <cstdint>

#include "comlist.h"
#include "system_api.h"

namespace portctl {

namespace {

// Name buffers offered to the lister at first: one for every COM number.
// More are offered only when it says it needs more.
constexpr int kFirstCapacity = 256;
// A machine that gains ports between two listings is asked again, this
// often.
constexpr int kTries = 4;

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u < 0xE000; }

// A terminated UTF-16 name as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Name(const comlist_char* units) {
    std::string name;
    for (std::size_t i = 0; i < COMLIST_NAME_UNITS && units[i] != 0; ++i) {
        std::uint32_t c = static_cast<std::uint16_t>(units[i]);
        const std::uint32_t next =
            i + 1 < COMLIST_NAME_UNITS ? static_cast<std::uint16_t>(units[i + 1]) : 0;
        if (IsHighSurrogate(c) && IsLowSurrogate(next)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = 0xFFFD;
        }
        AppendUtf8(name, c);
    }
    return name;
}

}  // namespace

std::vector<std::string> EnumeratePortNames() {
    int capacity = kFirstCapacity;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        std::vector<comlist_char> buffers(std::size_t(capacity) * COMLIST_NAME_UNITS, 0);
        std::vector<comlist_char*> entries(std::size_t(capacity), nullptr);
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i] = &buffers[i * COMLIST_NAME_UNITS];
        int count = 0;
        if (EnumCOMPortsEx(entries.data(), capacity, &count)) {
            std::vector<std::string> names;
            for (int i = 0; i < count && i < capacity; ++i) names.push_back(Utf8Name(entries[i]));
            return names;
        }
        const unsigned long error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || count <= capacity) {
            throw ListingFailed(
                "the ports cannot be listed: the lister could not build its "
                "device list (error " +
                std::to_string(error) + ")");
        }
        capacity = count;
    }
    throw ListingFailed("the ports cannot be listed: more ports appeared at each of " +
                        std::to_string(kTries) + " attempts");
}

}  // namespace portctl
