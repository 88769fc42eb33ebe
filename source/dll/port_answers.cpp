#include "port_answers.h"

#include <algorithm>
#include <cstring>

#include "port_resolution.h"

namespace portopt {

namespace {

constexpr unsigned int kLargestRecord = 64 * 1024;

int BusOf(const std::string& adapterId) {
    if (adapterId.rfind("USB\\", 0) == 0) return PO_BUS_USB;
    if (adapterId.rfind("PCI\\", 0) == 0) return PO_BUS_PCI;
    return PO_BUS_NONE;
}

int FamilyOf(const PortAnswers& answers) {
    if (answers.productId <= 0) return PO_FAMILY_UNRESOLVED;
    return answers.tovelser ? PO_FAMILY_TOVELSER : PO_FAMILY_OTHER;
}

// An option the family has, stored unless its query answers -1.
PoOption Had(int value) { return {value, 1, value != kNotStored ? 1 : 0}; }
PoOption NotHad(int value) { return {value, 0, 0}; }

}  // namespace

PortAnswers AnswersOf(const PortResolution& port) {
    PortAnswers answers;
    answers.productId = port.ProductId();
    answers.adapterId = port.AdapterId();
    answers.identity = answers.adapterId.empty() ? 0 : ParseInstanceId(answers.adapterId);
    answers.channel = port.Channel();
    // One place for all four: the family's switch is read once.
    SettingPlace place = LocateSetting(port, kInterfaceMode);
    AnswerOptions(answers, [&place](const char* name) {
        place.valueName = name;
        return ReadPortSetting(place).value;
    });
    return answers;
}

bool IsAcceptedRecordSize(unsigned int size) {
    return size >= sizeof(PoPortInfo) && size <= kLargestRecord && size % 4 == 0;
}

void FillPortInfo(const PortAnswers& answers, int port, PoPortInfo& info) {
    const unsigned int size = info.size;
    std::memset(reinterpret_cast<char*>(&info) + sizeof(info.size), 0, size - sizeof(info.size));
    info.port = port;
    const std::size_t idLength = std::min(answers.adapterId.size(), sizeof(info.adapterId) - 1);
    std::memcpy(info.adapterId, answers.adapterId.data(), idLength);
    info.bus = BusOf(answers.adapterId);
    info.vendorId = static_cast<int>(answers.identity >> 16);
    info.productId = answers.productId;
    info.family = FamilyOf(answers);
    info.position = answers.channel >= 0 ? answers.channel + 1 : 0;
    info.interfaceMode = Had(answers.interfaceMode);
    if (answers.tovelser) {
        // The family has only the interface mode; the queries answer 0.
        info.fastFlush = info.txMode = info.uartFifo = NotHad(0);
        return;
    }
    info.fastFlush = Had(answers.fastFlush);
    info.txMode = Had(answers.txMode);
    info.uartFifo = {answers.uartFifo, 1, answers.fifoStored ? 1 : 0};
}

}  // namespace portopt
