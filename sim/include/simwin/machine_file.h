/* The simulated machine as a JSON document: load one (replacing the whole
 * machine), save the current one, and the embedded demo machine.  Usable
 * from C, C++ and ctypes; no C++ exception leaves these calls.  The format
 * is described in sim/README.md.
 *
 * Each int-returning call returns 0 on success, else nonzero and writes a
 * NUL-terminated message (truncated to error_size) to error, which may be
 * NULL when error_size is 0.  On failure the machine is unchanged and no
 * file is written. */
#ifndef SIMWIN_MACHINE_FILE_H
#define SIMWIN_MACHINE_FILE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int simwin_load_machine_json(const char* json, size_t length, char* error, size_t error_size);
int simwin_load_machine_file(const char* path, char* error, size_t error_size);
/* Atomic: the document goes to a temporary file in the target's folder,
 * which is flushed to disk and then renamed over the target. */
int simwin_save_machine_file(const char* path, char* error, size_t error_size);
/* The current machine as JSON; returns the length needed without the
 * terminator; writes at most buffer_size bytes including a terminator.
 * Returns 0 (and writes an empty string) when the machine cannot be
 * described: a name in it that is not UTF-8 text. */
size_t simwin_machine_json(char* buffer, size_t buffer_size);
const char* simwin_demo_machine_json(void); /* static, NUL-terminated */
int simwin_load_demo_machine(char* error, size_t error_size);
/* For tests in other languages: the k-th call (1-based, from now) of the
 * named Win32 operation fails with `error`, as simwin::FailAt (machine.h)
 * has it.  Returns -1 for a null name or k < 1, else 0. */
int simwin_fail_at(const char* operation, int k, unsigned error);

#ifdef __cplusplus
}
#endif

#endif
