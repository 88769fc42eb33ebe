// What an exported call answers, with the last-error code it reports, and
// the one shape every exported call has: the arguments checked first, then
// the call's work, with nothing thrown crossing the C boundary.
#ifndef PORTOPT_CALL_ANSWER_H
#define PORTOPT_CALL_ANSWER_H

#include "win32.h"

namespace portopt {

struct CallAnswer {
    int value = 0;
    DWORD error = 0;  // 0: no code of the call's own
};

// Runs an exported call.  Arguments that are not valid answer 0 with
// ERROR_INVALID_PARAMETER before anything is touched.  The answer's code is
// set once `work` has returned, when everything it held has been released
// (a successful release of a device list may itself reset the thread's
// code).  Only allocation failures can throw; such a call answers
// `fallback` and sets no code of its own.
template <typename Work>
int RunExportedCall(bool argumentsValid, int fallback, Work work) noexcept {
    if (!argumentsValid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        const CallAnswer answer = work();
        if (answer.error != 0) SetLastError(answer.error);
        return answer.value;
    } catch (...) {
        return fallback;
    }
}

}  // namespace portopt

#endif
