#include "position_match.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace portctl {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// "1A2B:2044", as the listing shows an adapter.
std::string Model(const SavedAdapter& adapter) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", unsigned(adapter.vendor) & 0xFFFFu,
                  unsigned(adapter.product) & 0xFFFFu);
    return text;
}

std::string Place(const SavedAdapter& adapter, std::optional<int> position) {
    if (!position) return "single-port " + Model(adapter) + " adapter";
    return "position " + std::to_string(*position) + " of a " + Model(adapter) + " adapter";
}

}  // namespace

PositionMatch MatchByPosition(const SavedAdapter& adapter, std::optional<int> position,
                              const std::vector<PortRow>& rows) {
    // The first port of each adapter of that model at the position.
    std::vector<const PortRow*> candidates;
    for (const PortRow& row : rows) {
        if (!Addressable(row) || !row.adapter || row.position != position) continue;
        if (row.adapter->vendor != adapter.vendor || row.adapter->product != adapter.product)
            continue;
        const bool seen = std::any_of(candidates.begin(), candidates.end(), [&](const PortRow* c) {
            return Upper(c->adapter->id) == Upper(row.adapter->id);
        });
        if (!seen) candidates.push_back(&row);
    }
    if (candidates.empty()) return {nullptr, "no port at " + Place(adapter, position) + " here"};
    if (candidates.size() == 1) return {candidates.front(), ""};
    std::string ids;
    for (const PortRow* c : candidates) {
        if (Upper(c->adapter->id) == Upper(adapter.id)) return {c, ""};
        ids += (ids.empty() ? "" : ", ") + c->adapter->id;
    }
    return {nullptr, "ambiguous: " + std::to_string(candidates.size()) + " " + Model(adapter) +
                         " adapters here (" + ids + "), none of them " +
                         (adapter.id.empty() ? "named in the file" : adapter.id)};
}

}  // namespace portctl
