// The exported port-information calls: one port's adapter and options, as
// the query calls answer them, from one resolution of the port; or every
// port present, from one walk of the ports list through the same steps
// and one reading of the store.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "exported_call.h"
#include "option_answers.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

using platform::CallAnswer;

constexpr CallAnswer kBadArgument{0, ERROR_INVALID_PARAMETER};
constexpr CallAnswer kExhausted{0};

CallAnswer GetOne(int port, PoPortInfo& info) {
    const PortResolution resolution = PortResolution::Resolve(port, Purpose::kQuery);
    StoreReader store;
    FillPortInfo(resolution.Port(), store.ReadOptions(resolution.Port()), info);
    return {1};
}

// Record `index` of an array whose records are `stride` bytes each.
PoPortInfo& RecordAt(PoPortInfo* records, std::size_t stride, std::size_t index) {
    return *reinterpret_cast<PoPortInfo*>(reinterpret_cast<char*>(records) + stride * index);
}

CallAnswer GetAll(PoPortInfo* infos, int capacity, int* count) {
    const AllPortsResolution all = AllPortsResolution::Resolve();
    if (!all.ListBuilt()) {
        *count = 0;
        return {0};  // the platform's code says why
    }
    const std::vector<ResolvedPort>& ports = all.Ports();
    const std::size_t filled = std::min<std::size_t>(ports.size(), std::size_t(capacity));
    const unsigned int stride = filled > 0 ? infos[0].size : 0;
    // Everything is read before any record is written, so that a call that
    // runs out of memory leaves the records as they were.
    StoreReader store;
    std::vector<std::array<SettingRead, kOptionCount>> reads;
    for (std::size_t i = 0; i < filled; ++i) reads.push_back(store.ReadOptions(ports[i]));
    for (std::size_t i = 0; i < filled; ++i) {
        PoPortInfo& record = RecordAt(infos, stride, i);
        record.size = stride;
        FillPortInfo(ports[i], reads[i], record);
    }
    *count = static_cast<int>(ports.size());
    if (ports.size() > std::size_t(capacity)) return {0, ERROR_INSUFFICIENT_BUFFER};
    return {1};
}

}  // namespace

}  // namespace portopt

using namespace portopt;

extern "C" {

// Out of memory, the record is left as it was.
PORTOPT_API int PORTOPT_CALL PoGetPortInfo(int port, PoPortInfo* info) {
    const bool valid = IsValidComNumber(port) && info && IsAcceptedRecordSize(info->size);
    return platform::RunExportedCall(valid, kBadArgument, kExhausted,
                                     [=] { return GetOne(port, *info); });
}

// Out of memory, the records and the count are left as they were.
PORTOPT_API int PORTOPT_CALL PoGetAllPortInfo(PoPortInfo* infos, int capacity, int* count) {
    const bool valid =
        count && capacity >= 0 && (capacity == 0 || (infos && IsAcceptedRecordSize(infos[0].size)));
    return platform::RunExportedCall(valid, kBadArgument, kExhausted,
                                     [=] { return GetAll(infos, capacity, count); });
}

}  // extern "C"
