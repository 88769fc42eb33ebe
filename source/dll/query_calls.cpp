// The exported query calls: the stored value of one option of one COM port,
// with the tovelser-family rules and the interface-code translation applied.
#include "interface_code.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

// Runs one query: checks the COM number, then answers with `tovelser` or
// `other` according to the family of the port's adapter.  Nothing escapes
// to the caller: a failed allocation answers `fallback`, setting no code.
template <typename Tovelser, typename Other>
int Query(int port, int fallback, Tovelser tovelser, Other other) noexcept {
    if (!IsValidComNumber(port)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        return IsTovelserFamily(LookupProductId(port)) ? tovelser(port) : other(port);
    } catch (...) {
        return fallback;
    }
}

int NoSuchOption(int) { return 0; }

// Only a stored 0 ("not disabled") means the FIFO is enabled.
int FifoEnabled(int disableFifo) { return disableFifo == 0 ? 1 : 0; }

}  // namespace

}  // namespace portopt

using namespace portopt;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoGetInterface(int port) {
    return Query(
        port, kNotStored, [](int p) { return ReadPortSetting(p, kSerInterface); },
        [](int p) { return TranslateInterfaceCode(ReadPortSetting(p, kInterfaceMode)); });
}

PORTOPT_API int PORTOPT_CALL PoGetFastFlush(int port) {
    return Query(port, kNotStored, NoSuchOption,
                 [](int p) { return ReadPortSetting(p, kFastFlush); });
}

PORTOPT_API int PORTOPT_CALL PoGetTxMode(int port) {
    return Query(port, kNotStored, NoSuchOption, [](int p) { return ReadPortSetting(p, kTxMode); });
}

PORTOPT_API int PORTOPT_CALL PoGetUARTFIFO(int port) {
    return Query(port, 0, NoSuchOption,
                 [](int p) { return FifoEnabled(ReadPortSetting(p, kDisableFiFo)); });
}

}  // extern "C"
