#include "change.h"

#include "win32.h"

namespace portctl {

std::string RefusalReason(std::uint32_t error) {
    switch (error) {
        case ERROR_INVALID_PARAMETER:
            return "a value out of range";
        case ERROR_REGISTRY_IO_FAILED:
            return "the stored setting could not be read or written";
        default:
            return "the adapter could not be reached or refused the change";
    }
}

Setting QueriedSetting(const OptionSpec& option, int value) {
    if (value == -1 && !IsFifo(option)) return {Setting::State::kNotStored, value};
    return {Setting::State::kValue, value};
}

ChangeOutcome ApplyChange(int port, const OptionSpec& option, int value) {
    ChangeOutcome outcome;
    outcome.before = QueriedSetting(option, option.query(port));
    // Only a code the change call itself leaves tells why it failed.
    SetLastError(ERROR_SUCCESS);
    if (!option.change(port, value)) {
        outcome.reason = RefusalReason(GetLastError());
        return outcome;
    }
    outcome.after = QueriedSetting(option, option.query(port));
    if (outcome.after.state != Setting::State::kValue || outcome.after.value != value) {
        outcome.reason = "the change was accepted but reads back " + FormatSetting(option, outcome.after);
        return outcome;
    }
    outcome.done = true;
    return outcome;
}

}  // namespace portctl
