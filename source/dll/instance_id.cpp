// Instance-ID parsing: "USB\VID_1A2B&PID_1131\..." names adapter 0x1A2B1131.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "port_identity.h"

namespace portopt {

namespace {

struct BusKeys {
    std::string_view prefix;
    std::string_view vendorKey;
    std::string_view productKey;
};

constexpr BusKeys kBuses[] = {
    {"USB\\", "VID_", "PID_"},
    {"PCI\\", "VEN_", "DEV_"},
};

// Hex digits of one number, and the separator behind them, before the
// product key may stand.
constexpr std::size_t kNumberField = 4;
constexpr std::size_t kNumberAndSeparator = 5;

bool StartsWithAt(std::string_view text, std::size_t pos, std::string_view key) {
    return pos <= text.size() && text.substr(pos).substr(0, key.size()) == key;
}

// Reads at most four hex digits at `pos` the way "%4X" does; 0 when nothing
// reads.  The characters are copied into a terminated buffer first, since
// the ID itself need not be terminated.
std::uint32_t ReadHexField(std::string_view text, std::size_t pos) {
    char field[kNumberField + 1] = {};
    if (pos > text.size()) return 0;
    const std::string_view chars = text.substr(pos, kNumberField);
    chars.copy(field, chars.size());
    unsigned int value = 0;
    if (std::sscanf(field, "%4X", &value) != 1) value = 0;
    return value;
}

const BusKeys* BusOf(std::string_view instanceId) {
    for (const BusKeys& bus : kBuses) {
        if (StartsWithAt(instanceId, 0, bus.prefix)) return &bus;
    }
    return nullptr;
}

}  // namespace

std::uint32_t ParseInstanceId(std::string_view instanceId) {
    const BusKeys* bus = BusOf(instanceId);
    if (!bus) return 0;

    for (std::size_t pos = bus->prefix.size(); pos < instanceId.size(); ++pos) {
        if (!StartsWithAt(instanceId, pos, bus->vendorKey)) continue;

        const std::size_t vendorDigits = pos + bus->vendorKey.size();
        std::uint32_t identity = ReadHexField(instanceId, vendorDigits) << 16;

        const std::size_t productKeyPos = vendorDigits + kNumberAndSeparator;
        if (StartsWithAt(instanceId, productKeyPos, bus->productKey)) {
            identity += ReadHexField(instanceId, productKeyPos + bus->productKey.size());
        }
        return identity;
    }
    return 0;
}

}  // namespace portopt
