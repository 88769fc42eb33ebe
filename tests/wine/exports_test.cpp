// The DLLs load into a process on a real Win32 implementation (every
// import resolves) and expose their calls under the exact exported names.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

struct LibraryDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

Library Load(const char* name) { return Library(LoadLibraryA(name)); }

void ExpectExports(const char* dll, const std::vector<std::string>& names) {
    SetLastError(0);
    Library library = Load(dll);
    ASSERT_TRUE(library) << dll << " failed to load, error " << GetLastError()
                         << " (an import the platform lacks?)";
    for (const std::string& name : names) {
        EXPECT_NE(GetProcAddress(library.get(), name.c_str()), nullptr)
            << dll << " does not export " << name;
    }
}

TEST(Exports, PortoptResolvesEveryCallByItsExactName) {
    ExpectExports("portopt.dll", {"PoGetInterface", "PoGetFastFlush", "PoGetTxMode",
                                  "PoGetUARTFIFO", "PoSetInterface", "PoSetFastFlush",
                                  "PoSetTxMode", "PoSetUARTFIFO", "_ZN8CportoptaSERKS_",
#ifdef _WIN64
                                  "??4Cportopt@@QEAAAEAV0@AEBV0@@Z"
#else
                                  "??4Cportopt@@QAEAAV0@ABV0@@Z"
#endif
                                 });
}

TEST(Exports, ComlistResolvesBothListingCalls) {
    ExpectExports("comlist.dll", {"EnumCOMPorts", "EnumCOMPortsEx"});
}

TEST(Exports, ProfileEngineResolvesEveryCall) {
    ExpectExports("portprofile.dll", {"PoProfileExport", "PoProfileCheck", "PoProfilePlan",
                                      "PoProfileImport", "PoProfileTest"});
}

// PoGetVersion answers the numbers of the DLL's own version resource.
TEST(Exports, VersionCallAgreesWithTheVersionResource) {
    Library library = Load("portopt.dll");
    ASSERT_TRUE(library);
    using VersionCall = int(__cdecl*)(int*, int*, int*);
    const auto call = reinterpret_cast<VersionCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(library.get(), "PoGetVersion")));
    ASSERT_NE(call, nullptr);
    int major = -1, minor = -1, patch = -1;
    ASSERT_EQ(call(&major, &minor, &patch), 1);
    SetLastError(0);
    EXPECT_EQ(call(&major, nullptr, &patch), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(library.get(), path, MAX_PATH), 0u);
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(path, &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, DWORD(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), DWORD(major));
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), DWORD(minor));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), DWORD(patch));
}

TEST(Exports, NoDecoratedNames) {
    // A decorated export (leading underscore or "@n" suffix) would mean the
    // wrong calling convention or missing C linkage.
    Library library = Load("portopt.dll");
    ASSERT_TRUE(library);
    EXPECT_EQ(GetProcAddress(library.get(), "_PoGetInterface"), nullptr);
    EXPECT_EQ(GetProcAddress(library.get(), "PoGetInterface@4"), nullptr);
    EXPECT_EQ(GetProcAddress(library.get(), "PoSetInterface@8"), nullptr);
}

}  // namespace
