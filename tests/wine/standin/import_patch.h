// Replaces an imported function in a loaded module by writing the module's
// import address table: every call the module makes through that import
// then reaches the replacement.  Look-ups through GetProcAddress and
// delay-loaded imports are not reached.
#ifndef TESTS_WINE_STANDIN_IMPORT_PATCH_H
#define TESTS_WINE_STANDIN_IMPORT_PATCH_H

#include <windows.h>

namespace standin {

// Points every import of `function` (by name, from any DLL) of `module` at
// `replacement`; returns how many table entries were written.
int ReplaceImport(HMODULE module, const char* function, const void* replacement);

}  // namespace standin

#endif
