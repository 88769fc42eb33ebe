#include "renumbering.h"

#include <exception>
#include <map>
#include <set>
#include <variant>

#include "com_number.h"
#include "port_names.h"

namespace portctl {

namespace {

using Kind = NumberResult::Kind;

// The numbers held outside the steps' ports, each with why it is held:
// carried by another present port, or held only by the COM port database.
std::map<int, std::string> HeldOutside(const std::vector<NumberStep>& steps,
                                       const std::vector<PortRow>& rows) {
    std::set<int> ours;
    for (const NumberStep& step : steps) ours.insert(step.from);
    std::set<int> carried;
    std::map<int, std::string> held;
    for (const PortRow& row : rows) {
        if (!row.number) continue;
        carried.insert(*row.number);
        if (ours.count(*row.number) == 0) {
            held.emplace(*row.number, ComName(*row.number) +
                                          " is carried by another present port, which the "
                                          "profile does not renumber");
        }
    }
    if (const auto database = ReadDatabaseNumbers()) {
        for (int number : *database) {
            if (carried.count(number) > 0) continue;
            held.emplace(number, ComName(number) +
                                     " is held in the COM port database by no present port (left "
                                     "by a removed device; only a forced renumbering takes it)");
        }
    }
    return held;
}

void Refuse(NumberResult& result, const std::string& reason) {
    result.kind = Kind::kRefused;
    result.reason = reason;
}

// The port's renumbering, with a failure to list the ports taken as the
// reason it is not done.
NumberOutcome Renumbered(const NumberStep& step, int from, int to) {
    PortRow row = *step.row;
    row.number = from;
    try {
        return ApplyNumber(row, to, false);
    } catch (const std::exception& failure) {
        NumberOutcome outcome;
        outcome.reason = failure.what();
        return outcome;
    }
}

// The ports that are to move, after those that cannot: a number held
// outside, a change the caller declines, and (in turn) a number that a
// port of the profile keeps.
std::vector<bool> Movers(const std::vector<NumberStep>& steps,
                         const std::map<int, std::string>& held, bool apply,
                         const std::function<bool(const NumberStep&)>& confirm, NumberRun& run) {
    std::vector<bool> moving(steps.size(), false);
    std::set<int> kept;  // numbers of the profile's ports that keep theirs
    for (std::size_t i = 0; i < steps.size(); ++i) {
        NumberResult& result = run.results[i];
        result.now = steps[i].from;
        if (steps[i].from == steps[i].to) continue;
        kept.insert(steps[i].from);
        if (const auto found = held.find(steps[i].to); found != held.end()) {
            Refuse(result, found->second);
        } else if (apply && confirm && !confirm(steps[i])) {
            result.kind = Kind::kWouldApply;
        } else {
            moving[i] = true;
            kept.erase(steps[i].from);
        }
    }
    for (bool again = true; again;) {
        again = false;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (!moving[i] || kept.count(steps[i].to) == 0) continue;
            moving[i] = false;
            kept.insert(steps[i].from);
            Refuse(run.results[i], ComName(steps[i].to) + " stays with the port found as " +
                                       ComName(steps[i].to) + ", whose number does not change");
            again = true;
        }
    }
    return moving;
}

// Undoes the renumberings made (the first `made` of the order), last first,
// after the one of port `failed` failed for `reason`; every moving port is
// then refused, with where it was left.
void PutBack(const std::vector<NumberStep>& steps, const std::vector<std::size_t>& mover,
             std::size_t made, std::size_t failed, const std::string& reason,
             const std::vector<bool>& moving, NumberRun& run) {
    std::map<std::size_t, std::string> stuck;
    for (std::size_t k = made; k-- > 0;) {
        const RenumberStep& step = run.order[k];
        const std::size_t i = mover[k];
        const NumberOutcome back = Renumbered(steps[i], step.to, step.from);
        if (back.done) {
            run.results[i].now = step.from;
        } else {
            stuck.emplace(i, back.reason);
        }
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (!moving[i]) continue;
        NumberResult& result = run.results[i];
        result.through.reset();
        std::string why = i == failed ? reason
                                      : "put back, as the renumbering of " + steps[failed].port +
                                            " failed";
        if (result.now != steps[i].from) {
            why += "; left as " + ComName(result.now) +
                   (stuck.count(i) ? ", as putting it back failed: " + stuck[i] : "");
        }
        Refuse(result, why);
    }
}

}  // namespace

NumberRun RunNumbers(const std::vector<NumberStep>& steps, const std::vector<PortRow>& rows,
                     bool apply, const std::function<bool(const NumberStep&)>& confirm) {
    NumberRun run;
    run.results.resize(steps.size());
    const std::map<int, std::string> held = HeldOutside(steps, rows);
    const std::vector<bool> moving = Movers(steps, held, apply, confirm, run);

    // Never taken nor passed through: numbers held outside, and those the
    // profile's ports keep.
    std::set<int> blocked;
    for (const auto& [number, why] : held) blocked.insert(number);
    std::vector<WantedNumber> wanted;
    std::map<int, std::size_t> at;  // the number a moving port carries now: its step
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (moving[i]) {
            wanted.push_back({steps[i].from, steps[i].to});
            at[steps[i].from] = i;
        } else {
            blocked.insert(run.results[i].now);
        }
    }
    const auto order = RenumberOrder(wanted, blocked);
    if (const auto* why = std::get_if<std::string>(&order)) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (moving[i]) Refuse(run.results[i], *why);
        }
        return run;
    }
    run.order = std::get<std::vector<RenumberStep>>(order);
    std::vector<std::size_t> mover;  // the port each renumbering moves
    for (const RenumberStep& step : run.order) {
        const std::size_t i = at.at(step.from);
        at.erase(step.from);
        at[step.to] = i;
        mover.push_back(i);
        if (step.to != steps[i].to) run.results[i].through = step.to;
    }

    for (std::size_t k = 0; apply && k < run.order.size(); ++k) {
        const RenumberStep& step = run.order[k];
        const std::size_t i = mover[k];
        run.called = true;
        const NumberOutcome outcome = Renumbered(steps[i], step.from, step.to);
        if (!outcome.done) {
            PutBack(steps, mover, k, i, outcome.reason, moving, run);
            return run;
        }
        run.results[i].now = step.to;
        run.results[i].restart = run.results[i].restart || outcome.needsReboot;
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (moving[i]) run.results[i].kind = apply ? Kind::kApplied : Kind::kWouldApply;
    }
    return run;
}

}  // namespace portctl
