// Reading one port's "PortName" from its hardware key into a name of at
// most 260 UTF-16 code units, terminator included.
#ifndef COMLIST_PORT_NAME_H
#define COMLIST_PORT_NAME_H

#include <cstddef>

#include "win32.h"

namespace comlist {

// Units in a caller's name buffer, terminator included (520 bytes).
inline constexpr std::size_t kNameUnits = 260;

struct PortName {
    WCHAR units[kNameUnits] = {};  // always terminated
    std::size_t length = 0;        // units before the terminator
};

// Reads "PortName" from `key` as UTF-16 into a 520-byte buffer.  False when
// the value is missing, larger than the buffer, or cannot be read.  Only the
// whole code units the read returned are used; a name stored without a
// terminator ends at the last of them (or is cut to 259 units).
bool ReadPortName(HKEY key, PortName& name);

}  // namespace comlist

#endif
