// Opening registry keys as the Win32 calls do: access checks and handles.
// All functions expect the machine lock to be held.
#ifndef SIMWIN_SRC_REGISTRY_ACCESS_H
#define SIMWIN_SRC_REGISTRY_ACCESS_H

#include "machine_state.h"

namespace simwin::detail {

// The key an HKEY names and the access it was granted; HKEY_LOCAL_MACHINE
// is the root with every right.  Null key for an unknown handle.
KeyHandle ResolveKey(Machine& m, HKEY key);

// Opens `subKey` (null or empty: the key itself) below `base` with
// `access`, storing a new handle in `result`.  Returns ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND or ERROR_ACCESS_DENIED.
LSTATUS OpenKeyHandle(Machine& m, const std::shared_ptr<RegKey>& base, const char* subKey,
                      REGSAM access, HKEY* result);

}  // namespace simwin::detail

#endif
