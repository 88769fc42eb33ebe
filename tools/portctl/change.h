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
    std::string reason;  // when not done
    Setting before;
    Setting after;  // read back, when the change call succeeded
};

// Sets `option` of COM `port` to `value` and reads it back.  A change the
// call accepted that does not read back as `value` is not done.
ChangeOutcome ApplyChange(int port, const OptionSpec& option, int value);

}  // namespace portctl

#endif
