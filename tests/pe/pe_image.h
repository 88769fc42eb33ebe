// A minimal reader of PE images (Windows DLLs and programs): the machine
// type, the exported names with their addresses, the names of the imported
// DLLs and the version resource.  Enough to check what a built binary
// promises to its callers and asks of the system.
#ifndef TESTS_PE_PE_IMAGE_H
#define TESTS_PE_PE_IMAGE_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct Export {
    std::string name;
    std::uint32_t rva = 0;  // address of the code or data it names
};

// What a VERSIONINFO resource holds.
struct VersionInfo {
    std::array<std::uint16_t, 4> fileVersion{};     // major, minor, patch, build
    std::array<std::uint16_t, 4> productVersion{};  // likewise
    // The string values of every string table ("FileVersion", ...); text
    // outside ASCII reads as '?'.
    std::map<std::string, std::string> strings;
};

struct Image {
    std::uint16_t machine = 0;
    std::vector<Export> exports;       // by name, in the table's order
    std::vector<std::string> imports;  // DLL names, in the table's order
    std::optional<VersionInfo> version;  // empty when the image has none
};

struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses a whole image held in memory; throws FormatError when the bytes
// are not a well-formed PE image.
Image Parse(const std::vector<std::uint8_t>& bytes);

// Parses the bytes of a version resource; throws FormatError when they are
// not a well-formed VS_VERSIONINFO block.
VersionInfo ParseVersionInfo(const std::vector<std::uint8_t>& bytes);

// Reads and parses the file at `path`; throws FormatError, or
// std::runtime_error when the file cannot be read.
Image ReadFile(const std::string& path);

}  // namespace pe

#endif
