#include "lister_test_support.h"

#include <algorithm>

namespace comlist_test {

std::u16string NameBuffers::Name(std::size_t i) const {
    const auto& b = buffers_.at(i);
    return std::u16string(b.begin(), std::find(b.begin(), b.end(), comlist_char(0)));
}

bool NameBuffers::Untouched(std::size_t i) const {
    const auto& b = buffers_.at(i);
    return std::all_of(b.begin(), b.end(), [](comlist_char u) { return u == kUntouched; });
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

Listing List(NameBuffers& buffers) {
    Listing listing;
    listing.result = EnumCOMPorts(buffers.array(), &listing.count);
    for (int i = 0; i < listing.count; ++i) listing.names.push_back(buffers.Name(i));
    return listing;
}

void ListerTest::AddUnnamedPort(const std::string& id) {
    simwin::AddDevice(id);
    simwin::AddInterface(id, simwin::kComPortInterface, "\\\\?\\" + id + "#com");
    simwin::CreateKey(simwin::HardwareKeyPath(id));
}

void ListerTest::AddPort(const std::string& id, const simwin::Bytes& data, DWORD type,
                         int interfaces) {
    AddUnnamedPort(id);
    for (int i = 1; i < interfaces; ++i) {
        simwin::AddInterface(id, simwin::kComPortInterface,
                             "\\\\?\\" + id + "#com" + std::to_string(i));
    }
    simwin::SetValue(simwin::HardwareKeyPath(id), "PortName", type, data);
}

}  // namespace comlist_test
