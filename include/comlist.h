/*
 * comlist: lists the port names ("COM1", "COM7", ...) of all present
 * COM-port device interfaces, in device order.  Usable from C and C++.
 */
#ifndef COMLIST_H
#define COMLIST_H

#if defined(_WIN32)
#include <stddef.h> /* wchar_t in C */
#if defined(COMLIST_BUILDING)
#define COMLIST_API __declspec(dllexport)
#else
#define COMLIST_API __declspec(dllimport)
#endif
#define COMLIST_CALL __cdecl
typedef wchar_t comlist_char; /* a UTF-16 code unit */
#else
#define COMLIST_API __attribute__((visibility("default")))
#define COMLIST_CALL
#ifdef __cplusplus
typedef char16_t comlist_char;
#else
#include <uchar.h>
typedef char16_t comlist_char;
#endif
#endif

/* Units in one name buffer, terminator included. */
#define COMLIST_NAME_UNITS 260

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Fills names[0], names[1], ... (each a buffer of COMLIST_NAME_UNITS
 * units) with the port names and sets *count to how many were written.
 * Always returns 0.  The array has no stated length: the caller gives a
 * buffer for every port present, or ends the array with a null entry,
 * where the listing stops.  When the device list cannot be built, writes
 * "SetupDiGetClassDevs failed." to standard output and sets *count to 0.
 * New code calls EnumCOMPortsEx.
 */
COMLIST_API int COMLIST_CALL EnumCOMPorts(comlist_char** names, int* count);

/*
 * Fills names[0] to names[capacity - 1] (each a buffer of
 * COMLIST_NAME_UNITS units) with the port names, in the order
 * EnumCOMPorts gives them, and sets *count to the number of names.
 * Returns 1 on success.  Returns 0 with the reason in the thread's
 * last-error code:
 *   122 (ERROR_INSUFFICIENT_BUFFER) when there are more names than
 *       `capacity`: the first `capacity` are written, and *count says how
 *       many buffers are needed;
 *   87 (ERROR_INVALID_PARAMETER) for a null `count`, a negative
 *       `capacity`, a null `names` with a `capacity` above 0, or a null
 *       entry among the first `capacity`: nothing is written, *count
 *       included;
 *   the platform's code when the device list cannot be built: nothing is
 *       written and *count is 0.
 * *count is set whenever the arguments are valid (0 on a failure other
 * than 122).  `names` may be null with a capacity of 0, which asks only
 * for the count.  Writes nothing to standard output.
 */
COMLIST_API int COMLIST_CALL EnumCOMPortsEx(comlist_char** names, int capacity, int* count);

#ifdef __cplusplus
}
#endif

#endif
