// The caller's name array: entries filled in order, each a buffer of 260
// units.  The array carries no capacity, so a null entry is taken as its end.
#ifndef COMLIST_NAME_ARRAY_H
#define COMLIST_NAME_ARRAY_H

#include <type_traits>

#include "comlist.h"
#include "port_name.h"

namespace comlist {

static_assert(std::is_same_v<comlist_char, WCHAR>, "a name unit is a UTF-16 code unit");
static_assert(COMLIST_NAME_UNITS == kNameUnits, "one name buffer holds 260 units");

class NameArray {
public:
    explicit NameArray(comlist_char** entries) : entries_(entries) {}

    // Copies `name` with its terminator into the next entry.  False, and
    // nothing written, when that entry is null: the array ends there.
    bool Append(const PortName& name);

    int count() const { return count_; }

private:
    comlist_char** entries_;
    int count_ = 0;
};

}  // namespace comlist

#endif
