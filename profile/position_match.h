// Finding the port an export file's entry was taken from on another
// machine, where the same kind of adapter got other COM numbers: the port
// at the same position on an adapter of the same vendor and product.
#ifndef PORTPROFILE_POSITION_MATCH_H
#define PORTPROFILE_POSITION_MATCH_H

#include <optional>
#include <string>
#include <vector>

#include "listing.h"

namespace portctl {

// The adapter an entry names.
struct SavedAdapter {
    std::string id;  // its instance ID where the file was made
    int vendor = 0;
    int product = 0;
};

// The present port for an entry, or the reason there is none.
struct PositionMatch {
    const PortRow* row = nullptr;
    std::string fault;
};

// The port at `position` (none: a single-port adapter) on the one present
// adapter of the saved adapter's vendor and product; of several such
// adapters, the one with the saved instance ID (compared as Windows does,
// in either case), else none.
PositionMatch MatchByPosition(const SavedAdapter& adapter, std::optional<int> position,
                              const std::vector<PortRow>& rows);

}  // namespace portctl

#endif
