// The friendly-name parser on arbitrary text: a COM number and a channel
// index of at most four digits each, the channel always written.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "port_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    int channel = -77;
    const int com = portopt::ParseFriendlyName(name, channel);
    FUZZ_CHECK(com >= 0 && com <= 9999);
    FUZZ_CHECK(channel >= -1 && channel <= 9998);
    return 0;
}
