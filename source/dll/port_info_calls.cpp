// The exported port-information calls: one port's adapter and options, as
// the query calls answer them, from one resolution of the port; or every
// port present, from one pass over the device tree and the store.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "call_answer.h"
#include "port_answers.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "port_snapshot.h"
#include "portopt.h"

namespace portopt {

namespace {

PortAnswers ResolvedAnswers(int port) {
    const PortResolution resolved = PortResolution::Resolve(port, Purpose::kQuery);
    return AnswersOf(resolved);
}

// Record `index` of an array whose records are `stride` bytes each.
PoPortInfo& RecordAt(PoPortInfo* records, std::size_t stride, std::size_t index) {
    return *reinterpret_cast<PoPortInfo*>(reinterpret_cast<char*>(records) + stride * index);
}

int GetAll(PoPortInfo* infos, int capacity, int* count) {
    const PortSnapshot snapshot = PortSnapshot::Read();
    if (!snapshot.ListBuilt()) {
        *count = 0;
        return 0;  // the platform's code says why
    }
    const std::vector<int> ports = snapshot.CarriedComNumbers();
    const std::size_t filled = std::min<std::size_t>(ports.size(), std::size_t(capacity));
    const unsigned int stride = filled > 0 ? infos[0].size : 0;
    for (std::size_t i = 0; i < filled; ++i) {
        PoPortInfo& record = RecordAt(infos, stride, i);
        record.size = stride;
        FillPortInfo(snapshot.Answers(ports[i]), ports[i], record);
    }
    *count = static_cast<int>(ports.size());
    return ports.size() > std::size_t(capacity) ? Report({0, ERROR_INSUFFICIENT_BUFFER}) : 1;
}

}  // namespace

}  // namespace portopt

using namespace portopt;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoGetPortInfo(int port, PoPortInfo* info) {
    if (!IsValidComNumber(port) || !info || !IsAcceptedRecordSize(info->size)) {
        return Report({0, ERROR_INVALID_PARAMETER});
    }
    try {
        FillPortInfo(ResolvedAnswers(port), port, *info);
        return 1;
    } catch (...) {
        return 0;  // out of memory: the record is left as it was
    }
}

PORTOPT_API int PORTOPT_CALL PoGetAllPortInfo(PoPortInfo* infos, int capacity, int* count) {
    if (!count || capacity < 0 || (capacity > 0 && (!infos || !IsAcceptedRecordSize(infos[0].size)))) {
        return Report({0, ERROR_INVALID_PARAMETER});
    }
    try {
        return GetAll(infos, capacity, count);
    } catch (...) {
        return 0;  // out of memory: nothing was written
    }
}

}  // extern "C"
