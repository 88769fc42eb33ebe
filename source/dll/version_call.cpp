// The library's version: the project version that the build also writes
// into the version resource.
#include "exported_call.h"
#include "portopt.h"

extern "C" PORTOPT_API int PORTOPT_CALL PoGetVersion(int* major, int* minor, int* patch) {
    using platform::CallAnswer;
    const bool valid = major && minor && patch;
    return platform::RunExportedCall(valid, {0, ERROR_INVALID_PARAMETER}, {0}, [=] {
        *major = PORTOPT_VERSION_MAJOR;
        *minor = PORTOPT_VERSION_MINOR;
        *patch = PORTOPT_VERSION_PATCH;
        return CallAnswer{1};
    });
}
