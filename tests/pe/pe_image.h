// A minimal reader of PE images (Windows DLLs and programs): the machine
// type, the exported names and the names of the imported DLLs.  Enough to
// check what a built DLL promises to its callers and asks of the system.
#ifndef TESTS_PE_PE_IMAGE_H
#define TESTS_PE_PE_IMAGE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct Image {
    std::uint16_t machine = 0;
    std::vector<std::string> exports;  // by name, in the table's order
    std::vector<std::string> imports;  // DLL names, in the table's order
};

struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses a whole image held in memory; throws FormatError when the bytes
// are not a well-formed PE image.
Image Parse(const std::vector<std::uint8_t>& bytes);

// Reads and parses the file at `path`; throws FormatError, or
// std::runtime_error when the file cannot be read.
Image ReadFile(const std::string& path);

}  // namespace pe

#endif
