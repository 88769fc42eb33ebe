// Giving a profile's ports the COM numbers their entries are keyed by
// (import --match position --numbers): which numbers they can take, in
// what order (RenumberOrder, through a free number where ports swap), and,
// for an import, the renumberings themselves, put back should one fail.
#ifndef PORTPROFILE_RENUMBERING_H
#define PORTPROFILE_RENUMBERING_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup.h"
#include "renumber_order.h"

namespace portctl {

// What becomes of one port's number.
struct NumberResult {
    enum class Kind { kUnchanged, kWouldApply, kApplied, kRefused };
    Kind kind = Kind::kUnchanged;
    int now = 0;                 // the number the port carries afterwards
    std::optional<int> through;  // the free number it passes on the way
    std::string reason;          // when refused
    bool restart = false;        // applied, but the port takes it when Windows restarts
};

struct NumberRun {
    std::vector<NumberResult> results;  // one for each step, in their order
    std::vector<RenumberStep> order;    // the renumberings, in the order made (or planned)
    bool called = false;                // a renumbering call was made
};

// Plans the steps' renumberings on the present ports (`rows`), refusing a
// number held outside the steps: carried by another present port, or held
// only by the COM port database.  With `apply`, makes them, each asked of
// `confirm` first (when given; one it declines stays "would apply"); should
// one fail, those made are put back and every one is refused.
NumberRun RunNumbers(const std::vector<NumberStep>& steps, const std::vector<PortRow>& rows,
                     bool apply, const std::function<bool(const NumberStep&)>& confirm);

}  // namespace portctl

#endif
