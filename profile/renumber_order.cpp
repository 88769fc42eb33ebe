#include "renumber_order.h"

#include <map>

namespace portctl {

namespace {

std::string Com(int number) { return "COM" + std::to_string(number); }

}  // namespace

std::variant<std::vector<RenumberStep>, std::string> RenumberOrder(
    const std::vector<WantedNumber>& wanted, const std::set<int>& held, int highest) {
    // The ports still to move, by the number each holds now.
    std::map<int, int> pending;
    std::set<int> holders;  // numbers the set's ports hold now
    std::set<int> targets;
    for (const WantedNumber& port : wanted) {
        if (!holders.insert(port.from).second) return Com(port.from) + " is given twice";
        if (!targets.insert(port.to).second) return "two ports want " + Com(port.to);
        if (held.count(port.to) && port.from != port.to) {
            return Com(port.to) + " is held by a port outside the set";
        }
        if (port.from != port.to) pending.emplace(port.from, port.to);
    }
    std::vector<RenumberStep> steps;
    auto move = [&](int from, int to) {
        steps.push_back({from, to});
        holders.erase(from);
        holders.insert(to);
        const int target = pending.at(from);
        pending.erase(from);
        if (target != to) pending.emplace(to, target);
    };
    while (!pending.empty()) {
        bool moved = false;
        for (const auto& [from, to] : pending) {
            if (!holders.count(to)) {
                move(from, to);
                moved = true;
                break;
            }
        }
        if (moved) continue;
        // Every port left waits for another's number: a cycle.  One of them
        // steps aside to a number nobody holds or wants.
        int spare = 0;
        for (int n = 1; n <= highest && spare == 0; ++n) {
            if (!holders.count(n) && !held.count(n) && !targets.count(n)) spare = n;
        }
        if (spare == 0) return std::string("no free number to pass through");
        move(pending.begin()->first, spare);
    }
    return steps;
}

}  // namespace portctl
