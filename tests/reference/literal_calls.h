// The exported calls as they were before each call resolved its port once:
// every step (the product lookup, the channel open, the store's read and
// write) walks the ports list on its own, as the calls were first described
// step by step.  Kept only as the yardstick the one-walk calls are held
// against: same answers, same stored values, same requests, wherever the
// steps cannot disagree.  Not part of either library.
#ifndef TESTS_REFERENCE_LITERAL_CALLS_H
#define TESTS_REFERENCE_LITERAL_CALLS_H

#include <optional>

#include "win32.h"

namespace literal {

// Which device of the ports list (its 0-based index) each step settled on,
// for the last call made while a trace is installed; nullopt where the
// step found none or was not taken.  A test uses it to tell whether the
// steps of one call picked the same port.
struct Trace {
    std::optional<DWORD> lookup;   // the product lookup's port
    std::optional<DWORD> channel;  // the port whose adapter the channel opened
    std::optional<DWORD> reader;   // the port whose per-port value was read
    std::optional<DWORD> writer;   // the port whose hardware key was written
};

// Installs `trace` (null to stop tracing) for the calls on this thread.
void TraceInto(Trace* trace);

int LookupProductId(int port);

int PoGetInterface(int port);
int PoGetFastFlush(int port);
int PoGetTxMode(int port);
int PoGetUARTFIFO(int port);
int PoSetInterface(int port, int mode);
int PoSetFastFlush(int port, int on);
int PoSetTxMode(int port, int mode);
int PoSetUARTFIFO(int port, int enable);

}  // namespace literal

#endif
