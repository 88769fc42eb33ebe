#include "name_array.h"

#include <algorithm>

namespace comlist {

bool NameArray::Append(const PortName& name) {
    const bool hasRoom = !capacity_ || found_ < *capacity_;
    comlist_char* entry = hasRoom ? entries_[found_] : nullptr;
    if (!capacity_ && entry == nullptr) return false;
    if (entry != nullptr) std::copy(name.units, name.units + name.length + 1, entry);
    ++found_;
    return true;
}

}  // namespace comlist
