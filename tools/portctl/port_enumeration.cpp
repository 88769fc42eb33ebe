#include "port_enumeration.h"

#include <cstdint>
#include <iostream>

#include "captured_output.h"
#include "comlist.h"

namespace portctl {

namespace {

// Name buffers offered to the lister at first; doubled while it fills them
// all, since the call itself cannot say how many ports there are.
constexpr std::size_t kInitialCapacity = 512;

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
    for (std::size_t capacity = kInitialCapacity;; capacity *= 2) {
        std::vector<comlist_char> buffers(capacity * COMLIST_NAME_UNITS, 0);
        std::vector<comlist_char*> entries(capacity + 1, nullptr);  // a null entry ends the array
        for (std::size_t i = 0; i < capacity; ++i) entries[i] = &buffers[i * COMLIST_NAME_UNITS];
        int count = 0;
        // The lister's only output is its failure message.
        const std::string said = CaptureStandardOutput([&] { EnumCOMPorts(entries.data(), &count); });
        if (!said.empty()) {
            std::cerr << said << std::flush;
            throw ListingFailed("the ports cannot be listed: the lister could not build its device list");
        }
        if (static_cast<std::size_t>(count) >= capacity) continue;

        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) names.push_back(Utf8Name(entries[i]));
        return names;
    }
}

}  // namespace portctl
