// The exported query calls: the stored value of one option of one COM port,
// with the tovelser-family rules and the interface-code translation applied.
// Each resolves its port once and reads the setting of the port it resolved.
#include "call_answer.h"
#include "interface_code.h"
#include "port_identity.h"
#include "port_resolution.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

namespace {

// The stored value of the resolved port's setting; the store's "no value"
// is reported as ERROR_FILE_NOT_FOUND.
CallAnswer Stored(const PortResolution& port, const char* name) {
    const SettingRead read = ReadPortSetting(LocateSetting(port, name));
    return {read.value, read.absent ? DWORD(ERROR_FILE_NOT_FOUND) : 0};
}

CallAnswer NoSuchOption(const PortResolution&) { return {0}; }

// Only a stored 0 ("not disabled") means the FIFO is enabled.
CallAnswer FifoEnabled(CallAnswer disableFifo) {
    disableFifo.value = disableFifo.value == 0 ? 1 : 0;
    return disableFifo;
}

template <typename Tovelser, typename Other>
CallAnswer Answer(int port, Tovelser tovelser, Other other) {
    const PortResolution resolved = PortResolution::Resolve(port, Purpose::kQuery);
    return IsTovelserFamily(resolved.ProductId()) ? tovelser(resolved) : other(resolved);
}

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
        return Report(Answer(port, tovelser, other));
    } catch (...) {
        return fallback;
    }
}

}  // namespace

}  // namespace portopt

using namespace portopt;

extern "C" {

PORTOPT_API int PORTOPT_CALL PoGetInterface(int port) {
    return Query(
        port, kNotStored, [](const PortResolution& p) { return Stored(p, kSerInterface); },
        [](const PortResolution& p) {
            CallAnswer stored = Stored(p, kInterfaceMode);
            stored.value = TranslateInterfaceCode(stored.value);
            return stored;
        });
}

PORTOPT_API int PORTOPT_CALL PoGetFastFlush(int port) {
    return Query(port, kNotStored, NoSuchOption,
                 [](const PortResolution& p) { return Stored(p, kFastFlush); });
}

PORTOPT_API int PORTOPT_CALL PoGetTxMode(int port) {
    return Query(port, kNotStored, NoSuchOption,
                 [](const PortResolution& p) { return Stored(p, kTxMode); });
}

PORTOPT_API int PORTOPT_CALL PoGetUARTFIFO(int port) {
    return Query(port, 0, NoSuchOption,
                 [](const PortResolution& p) { return FifoEnabled(Stored(p, kDisableFiFo)); });
}

}  // extern "C"
