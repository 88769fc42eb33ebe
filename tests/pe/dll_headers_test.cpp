// The built Windows DLLs and the tool, read from disk: the machine they are
// built for, exactly the exports their callers link against, and imports
// only from DLLs every Windows installation has (for the tool, also from
// the two DLLs).  Each build directory comes from the
// environment (set by ctest); a build that is not there is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

struct Build {
    const char* name;
    const char* directoryVariable;
    std::uint16_t machine;
};

const Build kBuilds[] = {{"windows", "PE_WINDOWS_BUILD_DIR", pe::kMachineI386},
                         {"windows64", "PE_WINDOWS64_BUILD_DIR", pe::kMachineAmd64}};

struct Dll {
    const char* path;  // within the build directory
    std::set<std::string> exports;
};

const Dll kPortopt = {"source/dll/portopt.dll",
                      {"PoGetInterface", "PoGetFastFlush", "PoGetTxMode", "PoGetUARTFIFO",
                       "PoSetInterface", "PoSetFastFlush", "PoSetTxMode", "PoSetUARTFIFO",
                       // Cportopt& Cportopt::operator=(const Cportopt&)
                       "_ZN8CportoptaSERKS_"}};
const Dll kComlist = {"comlist/comlist.dll", {"EnumCOMPorts"}};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool IsSystemDll(const std::string& name) {
    static const std::set<std::string> kSystem = {"kernel32.dll", "advapi32.dll", "setupapi.dll",
                                                   "msvcrt.dll", "ucrtbase.dll"};
    const std::string lower = Lower(name);
    return kSystem.count(lower) || lower.rfind("api-ms-win-crt-", 0) == 0;
}

class DllHeaders : public ::testing::TestWithParam<Build> {
protected:
    // Where this build keeps `dll`; empty when the build directory is unset.
    std::string PathOf(const Dll& dll) const {
        const char* directory = std::getenv(GetParam().directoryVariable);
        if (!directory || !*directory) return "";
        return std::string(directory) + "/" + dll.path;
    }

    void Check(const Dll& dll, const std::set<std::string>& alsoImported = {}) {
        const std::string path = PathOf(dll);
        ASSERT_NE(path, "") << GetParam().directoryVariable << " is not set";
        if (!std::ifstream(path)) {
            GTEST_SKIP() << "the " << GetParam().name << " build has no " << path
                         << " (build that preset first)";
        }
        const pe::Image image = pe::ReadFile(path);
        EXPECT_EQ(image.machine, GetParam().machine) << std::hex << "machine 0x" << image.machine;
        const std::set<std::string> exports(image.exports.begin(), image.exports.end());
        EXPECT_EQ(exports, dll.exports);
        EXPECT_EQ(exports.size(), image.exports.size()) << "an export appears twice";
        for (const std::string& import : image.imports) {
            EXPECT_TRUE(IsSystemDll(import) || alsoImported.count(Lower(import)))
                << dll.path << " imports from " << import;
        }
    }
};

TEST_P(DllHeaders, PortoptExportsItsCallsUndecoratedAndImportsOnlySystemDlls) {
    Check(kPortopt);
}

TEST_P(DllHeaders, ComlistExportsEnumComPortsAndImportsOnlySystemDlls) {
    Check(kComlist);
}

// The tool needs nothing a clean Windows lacks but the two DLLs beside it.
TEST_P(DllHeaders, PortctlImportsOnlySystemDllsAndTheTwoLibraries) {
    const Dll portctl = {"tools/portctl/portctl.exe", {}};
    Check(portctl, {"portopt.dll", "comlist.dll"});
}

INSTANTIATE_TEST_SUITE_P(Builds, DllHeaders, ::testing::ValuesIn(kBuilds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PeReader, RefusesWhatIsNotAPeImage) {
    EXPECT_THROW(pe::Parse({}), pe::FormatError);
    EXPECT_THROW(pe::Parse({'M', 'Z'}), pe::FormatError);
    std::vector<std::uint8_t> dosOnly(0x40, 0);
    dosOnly[0] = 'M';
    dosOnly[1] = 'Z';
    dosOnly[0x3C] = 0x40;  // the PE header would start at the end of the file
    EXPECT_THROW(pe::Parse(dosOnly), pe::FormatError);
}

}  // namespace
