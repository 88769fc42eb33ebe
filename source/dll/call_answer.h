// What an exported call answers, with the last-error code it reports.  The
// code is set only after everything the call held has been released: a
// successful release of a device list may itself reset the thread's code.
#ifndef PORTOPT_CALL_ANSWER_H
#define PORTOPT_CALL_ANSWER_H

#include "win32.h"

namespace portopt {

struct CallAnswer {
    int value = 0;
    DWORD error = 0;  // 0: no code of the call's own
};

// Sets the answer's code, if it has one, and gives its value.
inline int Report(const CallAnswer& answer) {
    if (answer.error != 0) SetLastError(answer.error);
    return answer.value;
}

}  // namespace portopt

#endif
