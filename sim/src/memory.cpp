// LocalAlloc/LocalFree.  Blocks are fixed; without LMEM_ZEROINIT they are
// filled with 0xCD so that reads of uninitialised memory show.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "machine_state.h"

using namespace simwin::detail;

extern "C" {

// LMEM_MOVEABLE is not modelled: every block is fixed and its handle is
// its address.
HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "LocalAlloc")) {
        SetLastError(fault);
        return nullptr;
    }
    void* block = std::malloc(std::max<SIZE_T>(uBytes, 1));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::memset(block, (uFlags & LMEM_ZEROINIT) ? 0 : 0xCD, uBytes);
    m->allocations.emplace(block, uBytes);
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    auto m = Access();
    DWORD fault = CountCall(*m, "LocalFree");
    if (!hMem) return nullptr;
    m->securityDescriptors.erase(hMem);
    if (m->allocations.erase(hMem) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    std::free(hMem);
    if (!fault) return nullptr;
    SetLastError(fault);
    return hMem;
}
}
