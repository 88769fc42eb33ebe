// The built Windows DLLs and portctl.exe, read from disk, both in the build
// tree and as shipped in the release package: the machine they are built
// for, exactly the exports their callers link against, imports only from
// DLLs every Windows installation has (and for the tool, the two DLLs), and
// a version resource carrying the project version.  Each build directory and the version come from the environment
// (set by ctest); a build or package that is not there is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

struct Build {
    const char* name;
    const char* directoryVariable;
    std::uint16_t machine;
    // Cportopt& Cportopt::operator=(const Cportopt&) as MSVC names it for
    // this machine.
    const char* msvcCopyAssignment;
    bool packaged;  // the binaries of the build's package, as its tests unpack it
};

const char kX86CopyAssignment[] = "??4Cportopt@@QAEAAV0@ABV0@@Z";
const char kX64CopyAssignment[] = "??4Cportopt@@QEAAAEAV0@AEBV0@@Z";
const Build kBuilds[] = {
    {"windows", "PE_WINDOWS_BUILD_DIR", pe::kMachineI386, kX86CopyAssignment, false},
    {"windows64", "PE_WINDOWS64_BUILD_DIR", pe::kMachineAmd64, kX64CopyAssignment, false},
    {"windows_package", "PE_WINDOWS_BUILD_DIR", pe::kMachineI386, kX86CopyAssignment, true},
    {"windows64_package", "PE_WINDOWS64_BUILD_DIR", pe::kMachineAmd64, kX64CopyAssignment, true}};

// Where the package tests unpack a build's package, within the build.
const char kUnpackedPackage[] = "tests/package/work/package";

// The copy assignment as GNU C++ names it.
const char kGnuCopyAssignment[] = "_ZN8CportoptaSERKS_";

struct Dll {
    const char* path;         // within the build directory
    const char* packagePath;  // within the package
    std::set<std::string> exports;
    bool exportsClass;  // also both names of Cportopt's copy assignment
};

const Dll kPortopt = {"source/dll/portopt.dll", "bin/portopt.dll",
                      {"PoGetInterface", "PoGetFastFlush", "PoGetTxMode", "PoGetUARTFIFO",
                       "PoSetInterface", "PoSetFastFlush", "PoSetTxMode", "PoSetUARTFIFO"},
                      true};
const Dll kComlist = {"comlist/comlist.dll", "bin/comlist.dll", {"EnumCOMPorts"}, false};
// The tool exports nothing and needs, besides system DLLs, only the two
// DLLs beside it.
const Dll kPortctl = {"tools/portctl/portctl.exe", "bin/portctl.exe", {}, false};
const std::set<std::string> kTheLibraries = {"portopt.dll", "comlist.dll"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// "1.2.3" as the four words of a binary version, build number 0.
std::array<std::uint16_t, 4> VersionWords(const std::string& version) {
    std::array<std::uint16_t, 4> words{};
    std::istringstream in(version);
    std::string part;
    for (std::size_t i = 0; i < 3 && std::getline(in, part, '.'); ++i) {
        words[i] = std::uint16_t(std::stoul(part));
    }
    return words;
}

// The version resource names the project version, the file and its stem.
void ExpectVersionResource(const pe::Image& image, const std::string& path) {
    const char* version = std::getenv("PE_EXPECTED_VERSION");
    ASSERT_TRUE(version && *version) << "PE_EXPECTED_VERSION is not set";
    ASSERT_TRUE(image.version) << path << " has no version resource";
    const pe::VersionInfo& info = *image.version;
    EXPECT_EQ(info.fileVersion, VersionWords(version));
    EXPECT_EQ(info.productVersion, VersionWords(version));
    const std::string file = FileName(path);
    const std::map<std::string, std::string> expected = {
        {"FileVersion", version},
        {"ProductVersion", version},
        {"ProductName", "portopt"},
        {"OriginalFilename", file},
        {"InternalName", file.substr(0, file.rfind('.'))}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(info.strings.count(key) ? info.strings.at(key) : "(none)", value) << key;
    }
    EXPECT_NE(info.strings.count("FileDescription") ? info.strings.at("FileDescription") : "", "");
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
        if (GetParam().packaged) {
            return std::string(directory) + "/" + kUnpackedPackage + "/" + dll.packagePath;
        }
        return std::string(directory) + "/" + dll.path;
    }

    void Check(const Dll& dll, const std::set<std::string>& alsoImported = {}) {
        const std::string path = PathOf(dll);
        ASSERT_NE(path, "") << GetParam().directoryVariable << " is not set";
        if (!std::ifstream(path)) {
            GTEST_SKIP() << "the " << GetParam().name << " build has no " << path
                         << (GetParam().packaged ? " (run that build's package tests first)"
                                                 : " (build that preset first)");
        }
        const pe::Image image = pe::ReadFile(path);
        EXPECT_EQ(image.machine, GetParam().machine) << std::hex << "machine 0x" << image.machine;
        std::map<std::string, std::uint32_t> exports;
        for (const pe::Export& e : image.exports) exports[e.name] = e.rva;
        EXPECT_EQ(exports.size(), image.exports.size()) << "an export appears twice";
        std::set<std::string> names;
        for (const auto& entry : exports) names.insert(entry.first);
        std::set<std::string> expected = dll.exports;
        if (dll.exportsClass) {
            const char* msvc = GetParam().msvcCopyAssignment;
            expected.insert({kGnuCopyAssignment, msvc});
            // Callers of either compiler reach the same code.
            if (exports.count(msvc) && exports.count(kGnuCopyAssignment)) {
                EXPECT_EQ(exports.at(msvc), exports.at(kGnuCopyAssignment));
            }
        }
        EXPECT_EQ(names, expected);
        for (const std::string& import : image.imports) {
            EXPECT_TRUE(IsSystemDll(import) || alsoImported.count(Lower(import)))
                << dll.path << " imports from " << import;
        }
        ExpectVersionResource(image, path);
    }
};

TEST_P(DllHeaders, PortoptExportsItsCallsUndecoratedAndImportsOnlySystemDlls) {
    Check(kPortopt);
}

TEST_P(DllHeaders, ComlistExportsEnumComPortsAndImportsOnlySystemDlls) {
    Check(kComlist);
}

TEST_P(DllHeaders, PortctlImportsOnlySystemDllsAndTheTwoLibraries) {
    Check(kPortctl, kTheLibraries);
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

// A version resource block: key, value (text values as UTF-16 units),
// then the children, each starting on a 4-byte boundary.
std::vector<std::uint8_t> VersionBlock(const std::string& key, std::vector<std::uint8_t> value,
                                       bool text,
                                       const std::vector<std::vector<std::uint8_t>>& children = {}) {
    std::vector<std::uint8_t> block(6, 0);
    auto pad = [&] { block.resize((block.size() + 3) & ~std::size_t(3), 0); };
    for (char c : key) block.insert(block.end(), {std::uint8_t(c), 0});
    block.insert(block.end(), {0, 0});
    pad();
    block.insert(block.end(), value.begin(), value.end());
    for (const auto& child : children) {
        pad();
        block.insert(block.end(), child.begin(), child.end());
    }
    const std::size_t valueLength = text ? value.size() / 2 : value.size();
    block[0] = std::uint8_t(block.size());
    block[1] = std::uint8_t(block.size() >> 8);
    block[2] = std::uint8_t(valueLength);
    block[4] = text ? 1 : 0;
    return block;
}

std::vector<std::uint8_t> Utf16z(const std::string& text) {
    std::vector<std::uint8_t> units;
    for (char c : text) units.insert(units.end(), {std::uint8_t(c), 0});
    units.insert(units.end(), {0, 0});
    return units;
}

// VS_VERSION_INFO of version 1.2.3.4 with one string, "FileVersion".
std::vector<std::uint8_t> SampleVersionResource() {
    std::vector<std::uint8_t> fixed(52, 0);
    const std::uint8_t words[] = {0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0,  // signature, struct version
                                  2, 0, 1, 0, 4, 0, 3, 0,              // file version 1.2 / 3.4
                                  2, 0, 1, 0, 4, 0, 3, 0};             // product version
    std::copy(std::begin(words), std::end(words), fixed.begin());
    const auto string = VersionBlock("FileVersion", Utf16z("1.2.3"), true);
    const auto table = VersionBlock("040904B0", {}, true, {string});
    return VersionBlock("VS_VERSION_INFO", fixed, false,
                        {VersionBlock("StringFileInfo", {}, true, {table})});
}

TEST(PeReader, ReadsAVersionResource) {
    const pe::VersionInfo info = pe::ParseVersionInfo(SampleVersionResource());
    const std::array<std::uint16_t, 4> expected = {1, 2, 3, 4};
    EXPECT_EQ(info.fileVersion, expected);
    EXPECT_EQ(info.productVersion, expected);
    EXPECT_EQ(info.strings, (std::map<std::string, std::string>{{"FileVersion", "1.2.3"}}));
}

TEST(PeReader, RefusesMalformedVersionResources) {
    const std::vector<std::uint8_t> good = SampleVersionResource();
    // Offsets within the sample: the root block's header, its fixed
    // information (after the 32-byte key "VS_VERSION_INFO"), the first
    // child's header.
    const std::size_t fixedInfo = 40;
    const std::size_t child = fixedInfo + 52;
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }},
        {"root length 0", [](auto& b) { b[0] = b[1] = 0; }},
        {"root longer than the data", [](auto& b) { b.resize(b.size() - 4); }},
        {"key never terminated", [](auto& b) { b.resize(36); b[0] = 36; b[1] = 0; }},
        {"fixed information shorter than its structure", [](auto& b) { b[2] = 20; }},
        {"no fixed-information signature", [=](auto& b) { b[fixedInfo] = 0; }},
        {"child longer than its parent", [=](auto& b) { b[child] = 0xFF; b[child + 1] = 0x0F; }},
        {"child value past its end", [=](auto& b) { b[child + 2] = 0xFF; }},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        EXPECT_THROW(pe::ParseVersionInfo(bytes), pe::FormatError) << c.what;
    }
}

}  // namespace
