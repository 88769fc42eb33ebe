#include "change.h"

#include "elevation.h"
#include "system_api.h"

namespace portctl {

std::string RefusalReason(std::uint32_t error) {
    switch (error) {
        case ERROR_INVALID_PARAMETER:
            return "a value out of range";
        case ERROR_REGISTRY_IO_FAILED:
            return "the stored setting could not be read or written";
        case ERROR_SUCCESS:
            // An adapter that cannot be opened leaves no code either.
            return "the adapter could not be reached or refused the change, no code given";
        default:
            // The library keeps only a refused request's own code.
            return "the adapter refused the change (error " + std::to_string(error) + ")";
    }
}

Setting QueriedSetting(const OptionSpec& option, int value) {
    if (value == -1 && !IsFifo(option)) return {Setting::State::kNotStored, value};
    return {Setting::State::kValue, value};
}

std::string Arrow(const OptionSpec& option, const Setting& before, const Setting& after) {
    return FormatSetting(option, before) + " -> " + FormatSetting(option, after);
}

ChangeOutcome ApplyChange(int port, const OptionSpec& option, int value) {
    ChangeOutcome outcome;
    outcome.before = QueriedSetting(option, option.query(port));
    // Only a code the change call itself leaves tells why it failed.
    SetLastError(ERROR_SUCCESS);
    if (!option.change(port, value)) {
        outcome.error = GetLastError();
        outcome.reason = RefusalReason(outcome.error);
        return outcome;
    }
    outcome.after = QueriedSetting(option, option.query(port));
    if (outcome.after.state != Setting::State::kValue || outcome.after.value != value) {
        outcome.reason =
            "the change was accepted but reads back " + FormatSetting(option, outcome.after);
        return outcome;
    }
    outcome.done = true;
    return outcome;
}

std::string RefusalText(const ChangeOutcome& outcome, const OptionSpec& option,
                        const Setting& listed) {
    if (listed.state == Setting::State::kNotHad) {
        return "the adapter's family has no " + std::string(option.name);
    }
    // With the old value there to read, 1016 says that the new one could
    // not be stored.  The FIFO's query answers "disabled" also when nothing
    // is stored: the listing tells.
    const bool notStored = outcome.error == ERROR_REGISTRY_IO_FAILED &&
                           outcome.before.state == Setting::State::kValue &&
                           listed.state == Setting::State::kValue;
    if (notStored && KnownNotElevated()) {
        return outcome.reason +
               ": administrator rights are needed (run portctl from an elevated prompt)";
    }
    return outcome.reason;
}

}  // namespace portctl
