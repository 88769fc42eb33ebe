/*
 * comlist: lists the port names ("COM1", "COM7", ...) of all present
 * COM-port device interfaces.  Usable from C and C++.
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
 * Always returns 0.
 */
COMLIST_API int COMLIST_CALL EnumCOMPorts(comlist_char** names, int* count);

#ifdef __cplusplus
}
#endif

#endif
