// What an exported call answers, with the last-error code it reports, and
// the one shape every exported call of both libraries has: the arguments
// checked first, then the call's work, with nothing thrown crossing the C
// boundary.
#ifndef PLATFORM_EXPORTED_CALL_H
#define PLATFORM_EXPORTED_CALL_H

#include "win32.h"

namespace platform {

struct CallAnswer {
    int value = 0;
    DWORD error = 0;  // 0: no code of the call's own
};

// Sets the answer's code, if it has one, and gives its value.
inline int Report(const CallAnswer& answer) {
    if (answer.error != 0) SetLastError(answer.error);
    return answer.value;
}

// Runs an exported call.  Arguments that are not valid give `invalid`
// before anything is touched.  The answer's code is set once `work` has
// returned, when everything it held has been released (a successful
// release of a device list may itself reset the thread's code).  Only
// allocation failures can throw; such a call gives `exhausted`.
template <typename Work>
int RunExportedCall(bool argumentsValid, CallAnswer invalid, CallAnswer exhausted,
                    Work work) noexcept {
    if (!argumentsValid) return Report(invalid);
    try {
        return Report(work());
    } catch (...) {
        return Report(exhausted);
    }
}

}  // namespace platform

#endif
