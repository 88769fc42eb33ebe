// Text helpers shared by the simulator: case-insensitive names as Windows
// compares them, and the 8-bit <-> UTF-16 conversions of the A/W calls.
#ifndef SIMWIN_SRC_TEXT_H
#define SIMWIN_SRC_TEXT_H

#include <string>

#include "simwin/machine.h"

namespace simwin::detail {

std::string Lower(std::string s);
bool SameName(const std::string& a, const std::string& b);
// Orders names as their lower-case forms would order, without copying them.
bool LessIgnoringCase(const std::string& a, const std::string& b);

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return LessIgnoringCase(a, b);
    }
};

// 8-bit text to UTF-16LE bytes, one unit per byte (Latin-1).
Bytes Widen(const std::uint8_t* data, std::size_t size);
// UTF-16LE bytes to 8-bit text, one byte per unit; units above 0x7F become
// '?'.  A trailing odd byte counts as a unit of its own.
Bytes Narrow(const std::uint8_t* data, std::size_t size);
// A null-terminated UTF-16 string as 8-bit text (UTF-8 for non-ASCII).
std::string NarrowName(const WCHAR* s);

bool IsStringType(DWORD type);

}  // namespace simwin::detail

#endif
