// One change through the exported calls: the old value, the change call,
// and the value read back, with the reason in words when it fails.
#ifndef PORTCTL_CHANGE_H
#define PORTCTL_CHANGE_H

#include <cstdint>
#include <string>

#include "options.h"

namespace portctl {

// What a change call's last-error code says about its failure.
std::string RefusalReason(std::uint32_t error);

// What the query call's answer `value` means for the option.
Setting QueriedSetting(const OptionSpec& option, int value);

struct ChangeOutcome {
    bool done = false;
    std::string reason;       // when not done
    std::uint32_t error = 0;  // the change call's last-error code, when it failed
    Setting before;
    Setting after;  // read back, when the change call succeeded
};

// "1 -> 0", a change as the tool shows it.
std::string Arrow(const OptionSpec& option, const Setting& before, const Setting& after);

// Sets `option` of COM `port` to `value` and reads it back.  A change the
// call accepted that does not read back as `value` is not done.
ChangeOutcome ApplyChange(int port, const OptionSpec& option, int value);

// The refusal in words for a port whose listing showed `listed` for the
// option: why the port's family could not take it, when it has no such
// option; that administrator rights are needed, when the old value was
// there to read (by the change's own query and in the listing) but the new
// one could not be stored, and portctl is not running elevated.
std::string RefusalText(const ChangeOutcome& outcome, const OptionSpec& option,
                        const Setting& listed);

}  // namespace portctl

#endif
