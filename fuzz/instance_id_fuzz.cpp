// The instance-ID parser on arbitrary text, which need not be terminated:
// nothing but a USB or PCI ID yields an identity, and each of its two
// numbers comes from at most four hex digits.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "port_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's bytes, so that a read past them shows.
    const std::vector<char> bytes(data, data + size);
    const std::string_view id(bytes.data(), bytes.size());
    const std::uint32_t identity = portopt::ParseInstanceId(id);
    const bool bus = id.substr(0, 4) == "USB\\" || id.substr(0, 4) == "PCI\\";
    FUZZ_CHECK(bus || identity == 0);
    return 0;
}
