#include "import_patch.h"

#include <cstring>

namespace standin {

namespace {

template <typename T>
T* At(HMODULE module, DWORD offset) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

bool Write(ULONG_PTR* slot, ULONG_PTR value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old)) return false;
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), old, &old);
    return true;
}

}  // namespace

int ReplaceImport(HMODULE module, const char* function, const void* replacement) {
    if (!module) return 0;
    const auto* dos = At<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = At<IMAGE_NT_HEADERS>(module, DWORD(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return 0;
    int written = 0;
    for (auto* dll = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); dll->Name;
         ++dll) {
        // The names stay in the lookup table; the address table holds the
        // resolved addresses.
        if (!dll->OriginalFirstThunk) continue;
        auto* names = At<IMAGE_THUNK_DATA>(module, dll->OriginalFirstThunk);
        auto* addresses = At<IMAGE_THUNK_DATA>(module, dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = At<IMAGE_IMPORT_BY_NAME>(module, DWORD(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            if (Write(reinterpret_cast<ULONG_PTR*>(&addresses->u1.Function),
                      reinterpret_cast<ULONG_PTR>(replacement))) {
                ++written;
            }
        }
    }
    return written;
}

}  // namespace standin
