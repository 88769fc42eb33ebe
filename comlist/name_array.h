// The caller's name array, each entry a buffer of 260 units.  EnumCOMPorts'
// array carries no length, so its first null entry is taken as its end;
// EnumCOMPortsEx's carries a capacity, and names beyond it are counted but
// not written.
#ifndef COMLIST_NAME_ARRAY_H
#define COMLIST_NAME_ARRAY_H

#include <optional>
#include <type_traits>

#include "comlist.h"
#include "port_name.h"

namespace comlist {

static_assert(std::is_same_v<comlist_char, WCHAR>, "a name unit is a UTF-16 code unit");
static_assert(COMLIST_NAME_UNITS == kNameUnits, "one name buffer holds 260 units");

class NameArray {
public:
    // An array that ends at its first null entry.
    static NameArray EndedByNull(comlist_char** entries) {
        return NameArray(entries, std::nullopt);
    }
    // An array of `capacity` entries, none of them null.
    static NameArray OfCapacity(comlist_char** entries, int capacity) {
        return NameArray(entries, capacity);
    }

    // Takes the next name found: copies it with its terminator into the
    // next entry if there is one.  False, and nothing written or counted,
    // when an array ended by a null entry has reached it: the scan stops
    // there.  An array of known capacity takes every name.
    bool Append(const PortName& name);

    // Names taken, whether written or not.
    int Found() const { return found_; }
    // Whether names were found that the array had no room for.
    bool Overflowed() const { return capacity_ && found_ > *capacity_; }

private:
    NameArray(comlist_char** entries, std::optional<int> capacity)
        : entries_(entries), capacity_(capacity) {}

    comlist_char** entries_;
    std::optional<int> capacity_;
    int found_ = 0;
};

}  // namespace comlist

#endif
