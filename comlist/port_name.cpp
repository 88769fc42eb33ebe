#include "port_name.h"

#include <algorithm>

namespace comlist {

namespace {

constexpr WCHAR kPortNameValue[] = {'P', 'o', 'r', 't', 'N', 'a', 'm', 'e', 0};

// Units of `data` before its first terminator, looking at `available`
// units at most.
std::size_t TerminatedLength(const WCHAR* data, std::size_t available) {
    return static_cast<std::size_t>(std::find(data, data + available, WCHAR(0)) - data);
}

}  // namespace

bool ReadPortName(HKEY key, PortName& name) {
    WCHAR buffer[kNameUnits] = {};
    DWORD type = REG_SZ;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key, kPortNameValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    // Trust no more than the platform reported, and only whole units of it.
    const std::size_t returned = std::min<std::size_t>(size, sizeof(buffer)) / sizeof(WCHAR);
    const std::size_t length = std::min(TerminatedLength(buffer, returned), kNameUnits - 1);
    std::copy(buffer, buffer + length, name.units);
    name.units[length] = 0;
    name.length = length;
    return true;
}

}  // namespace comlist
