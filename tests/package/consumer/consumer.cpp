// A program as a user of the package writes it, built against the unpacked
// package only: by MinGW through find_package(portopt), and for MSVC's ABI
// with no C runtime at all (CONSUMER_NO_RUNTIME, entry point
// consumer_start).  It needs nothing from the system headers, so that both
// builds compile the same code.  Exit code 0 when every call behaved; else
// the bits of the checks that failed.
#include "comlist.h"
#include "portopt.h"
#include "portprofile.h"

extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError(void);
extern "C" __declspec(dllimport) void __stdcall SetLastError(unsigned long code);

namespace {

const unsigned long kInvalidParameter = 87;
const unsigned long kInsufficientBuffer = 122;
const unsigned long kInvalidData = 13;

// Zero-initialised, so that neither the buffers nor the pointer array
// needs memset or a stack probe from a runtime.
comlist_char buffers[256][COMLIST_NAME_UNITS];
comlist_char* names[257];
PoPortInfo records[PO_MAX_PORT - PO_MIN_PORT + 1];
PoPortInfo one;
char fault[512];

bool Rejected(int result) { return result == 0 && GetLastError() == kInvalidParameter; }

int Run() {
    int failed = 0;

    // A COM number out of range reaches the library and comes back with
    // its error code: the calls link, and their arguments arrive.
    SetLastError(0);
    if (!Rejected(PoGetInterface(0))) failed |= 1 << 0;
    SetLastError(0);
    if (!Rejected(PoSetTxMode(PO_MAX_PORT + 1, 1))) failed |= 1 << 1;
    // A query of a port in range gives one of its two values, whatever
    // the machine holds.
    const int fifo = PoGetUARTFIFO(1);
    if (fifo != 0 && fifo != 1) failed |= 1 << 2;

    // The class's copy assignment is the DLL's, imported under this
    // compiler's name for it, and returns the object assigned to.
    Cportopt first;
    Cportopt second;
    if (&(first = second) != &first) failed |= 1 << 3;
    if (&(second = first) != &second) failed |= 1 << 4;

    for (int i = 0; i < 256; ++i) names[i] = buffers[i];
    int count = -1;
    if (EnumCOMPorts(names, &count) != 0 || count < 0 || count > 256) failed |= 1 << 5;
    // The bounded listing agrees, and asked for the count alone says how
    // many buffers it needs.
    int listed = -1;
    if (EnumCOMPortsEx(names, 256, &listed) != 1 || listed != count) failed |= 1 << 10;
    int needed = -1;
    const int countOnly = EnumCOMPortsEx(0, 0, &needed);
    const bool room = count == 0;
    if (needed != count || countOnly != (room ? 1 : 0) ||
        (!room && GetLastError() != kInsufficientBuffer))
        failed |= 1 << 11;
    SetLastError(0);
    if (!Rejected(EnumCOMPortsEx(names, -1, &needed))) failed |= 1 << 12;

    // Every port's record in one call, of whatever machine this is; and one
    // port's record on its own.
    records[0].size = sizeof(PoPortInfo);
    int ports = -1;
    const int capacity = sizeof records / sizeof records[0];
    if (PoGetAllPortInfo(records, capacity, &ports) != 1 || ports < 0 || ports > capacity)
        failed |= 1 << 6;
    if (ports > 0 && (records[0].port < PO_MIN_PORT || records[0].port > PO_MAX_PORT))
        failed |= 1 << 7;
    one.size = sizeof one;
    if (PoGetPortInfo(1, &one) != 1 || one.port != 1) failed |= 1 << 8;
    SetLastError(0);
    if (!Rejected(PoGetAllPortInfo(records, 1, 0))) failed |= 1 << 9;

    // The profile engine: a profile that is no JSON comes back as its
    // fault, before any port is read; a missing size is rejected.
    SetLastError(0);
    if (PoProfileCheck("{", PO_MATCH_NUMBER, fault, sizeof fault, &needed) != 0 ||
        GetLastError() != kInvalidData || fault[0] != 'm' || needed <= 1)
        failed |= 1 << 13;
    SetLastError(0);
    if (!Rejected(PoProfileExport(fault, sizeof fault, 0, 0))) failed |= 1 << 14;
    return failed;
}

}  // namespace

#ifdef CONSUMER_NO_RUNTIME
extern "C" __declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

extern "C" void consumer_start(void) { ExitProcess(static_cast<unsigned int>(Run())); }
#else
int main() { return Run(); }
#endif
