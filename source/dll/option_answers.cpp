#include "option_answers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "port_identity.h"
#include "port_resolution.h"

namespace portopt {

namespace {

constexpr unsigned int kLargestRecord = 64 * 1024;

int BusOf(const std::string& adapterId) {
    if (adapterId.rfind("USB\\", 0) == 0) return PO_BUS_USB;
    if (adapterId.rfind("PCI\\", 0) == 0) return PO_BUS_PCI;
    return PO_BUS_NONE;
}

}  // namespace

PoOption AnswerOf(const DriverFamily& family, Option option, const SettingRead& read) {
    if (!family.Has(option)) return {0, 0, 0};
    const int stored = family.Of(option).driverNumbering(read.value);
    return {RuleOf(option).answerOf(stored), 1, read.value != kNotStored ? 1 : 0};
}

static_assert(PO_PORT_INFO_V1_SIZE == offsetof(PoPortInfo, interfaceModes));

bool IsAcceptedRecordSize(unsigned int size) {
    return size >= PO_PORT_INFO_V1_SIZE && size <= kLargestRecord && size % 4 == 0;
}

void FillPortInfo(const ResolvedPort& port, const std::array<SettingRead, kOptionCount>& reads,
                  PoPortInfo& info) {
    const unsigned int size = info.size;
    std::memset(reinterpret_cast<char*>(&info) + sizeof(info.size), 0, size - sizeof(info.size));
    info.port = port.port;
    const std::size_t idLength = std::min(port.adapterId.size(), sizeof(info.adapterId) - 1);
    std::memcpy(info.adapterId, port.adapterId.data(), idLength);
    info.bus = BusOf(port.adapterId);
    const std::uint32_t identity = port.adapterId.empty() ? 0 : ParseInstanceId(port.adapterId);
    info.vendorId = static_cast<int>(identity >> 16);
    info.productId = port.productId;
    const DriverFamily& family = port.Family();
    info.family = port.productId > 0 ? family.recordCode : PO_FAMILY_UNRESOLVED;
    info.position = port.channel >= 0 ? port.channel + 1 : 0;
    PoOption* const options[kOptionCount] = {&info.interfaceMode, &info.fastFlush, &info.txMode,
                                             &info.uartFifo};
    for (Option option : kOptions) {
        *options[IndexOf(option)] = AnswerOf(family, option, reads[IndexOf(option)]);
    }
    // A first-version record ends before the modes.
    if (size >= sizeof(PoPortInfo)) info.interfaceModes = AcceptedInterfaceModes(port.productId);
}

}  // namespace portopt
