#include "name_array.h"

#include <algorithm>

namespace comlist {

bool NameArray::Append(const PortName& name) {
    comlist_char* entry = entries_[count_];
    if (entry == nullptr) return false;
    std::copy(name.units, name.units + name.length + 1, entry);
    ++count_;
    return true;
}

}  // namespace comlist
