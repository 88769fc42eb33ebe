// The order in which to give a set of ports their wanted COM numbers, one
// renumbering at a time, so that no two ports ever hold one number: a port
// whose wanted number is free goes first; ports that only swap or rotate
// among themselves pass through a free number in between.  Pure: the
// caller says which numbers are held and by what.
#ifndef PORTPROFILE_RENUMBER_ORDER_H
#define PORTPROFILE_RENUMBER_ORDER_H

#include <set>
#include <string>
#include <variant>
#include <vector>

namespace portctl {

// One port of the set: the number it holds and the one it is to hold.
struct WantedNumber {
    int from = 0;
    int to = 0;
};

// One renumbering: the port holding `from` is given `to`.
struct RenumberStep {
    int from = 0;
    int to = 0;
    bool operator==(const RenumberStep& o) const { return from == o.from && to == o.to; }
};

// The steps, or why there are none: two ports wanting one number, a wanted
// number held outside the set, or no free number for a swap.  `held` are
// the numbers held by anything outside the set (other ports, the COM port
// database); they are never taken, nor used in between.  Numbers run from
// 1 to `highest`.
std::variant<std::vector<RenumberStep>, std::string> RenumberOrder(
    const std::vector<WantedNumber>& wanted, const std::set<int>& held, int highest = 256);

}  // namespace portctl

#endif
