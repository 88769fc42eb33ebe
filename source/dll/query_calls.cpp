// The exported query calls: the stored value of one option of one COM port,
// as the port's driver family stores it and the option's rule answers it.
// Each resolves its port once and reads the setting of the port it resolved.
#include "exported_call.h"
#include "option_answers.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

using platform::CallAnswer;

// The answer for `option` of COM `port`; the store's "no value" is
// reported as ERROR_FILE_NOT_FOUND.  An option the family lacks is not read.
CallAnswer QueryOption(int port, Option option) {
    const PortResolution resolution = PortResolution::Resolve(port, Purpose::kQuery);
    const ResolvedPort& resolved = resolution.Port();
    const DriverFamily& family = resolved.Family();
    SettingRead read;
    if (family.Has(option)) {
        StoreReader store;
        read = store.Read(store.Locate(resolved, option));
    }
    return {AnswerOf(family, option, read).value, read.absent ? DWORD(ERROR_FILE_NOT_FOUND) : 0};
}

// A query that runs out of memory answers what a setting that cannot be
// read answers.
int Query(int port, Option option) {
    const CallAnswer unreadable{AnswerOf(FamilyOf(kNoMatchingPort), option, SettingRead{}).value};
    return platform::RunExportedCall(IsValidComNumber(port), {0, ERROR_INVALID_PARAMETER},
                                     unreadable, [=] { return QueryOption(port, option); });
}

}  // namespace

}  // namespace portopt

using portopt::Option;
using portopt::Query;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoGetInterface(int port) {
    return Query(port, Option::kInterfaceMode);
}

PORTOPT_API int PORTOPT_CALL PoGetFastFlush(int port) { return Query(port, Option::kFastFlush); }

PORTOPT_API int PORTOPT_CALL PoGetTxMode(int port) { return Query(port, Option::kTxMode); }

PORTOPT_API int PORTOPT_CALL PoGetUARTFIFO(int port) { return Query(port, Option::kUartFifo); }

}  // extern "C"
