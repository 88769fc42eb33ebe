#include "pe_image.h"

#include <fstream>
#include <iterator>

namespace pe {

namespace {

// Bounds-checked little-endian reads over the file's bytes.
class Bytes {
public:
    explicit Bytes(const std::vector<std::uint8_t>& data) : data_(data) {}

    std::uint32_t Read(std::size_t offset, int width) const {
        Need(offset, width);
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = value << 8 | data_[offset + i];
        return value;
    }
    std::uint16_t U16(std::size_t offset) const { return std::uint16_t(Read(offset, 2)); }
    std::uint32_t U32(std::size_t offset) const { return Read(offset, 4); }

    std::string Text(std::size_t offset) const {
        std::string text;
        for (;; ++offset) {
            Need(offset, 1);
            if (data_[offset] == 0) return text;
            text.push_back(char(data_[offset]));
        }
    }

private:
    void Need(std::size_t offset, std::size_t width) const {
        if (offset > data_.size() || data_.size() - offset < width) {
            throw FormatError("read past the end of the image at offset " + std::to_string(offset));
        }
    }
    const std::vector<std::uint8_t>& data_;
};

struct Section {
    std::uint32_t address;
    std::uint32_t extent;
    std::uint32_t fileOffset;
};

struct Layout {
    std::vector<Section> sections;
    std::uint32_t exportRva = 0;
    std::uint32_t importRva = 0;

    std::size_t Offset(std::uint32_t rva) const {
        for (const Section& s : sections) {
            if (rva >= s.address && rva - s.address < s.extent) return s.fileOffset + (rva - s.address);
        }
        throw FormatError("address " + std::to_string(rva) + " lies in no section");
    }
};

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;

Layout ReadLayout(const Bytes& in, std::size_t coff) {
    const std::uint16_t sectionCount = in.U16(coff + 2);
    const std::uint16_t optionalSize = in.U16(coff + 16);
    const std::size_t optional = coff + 20;
    const std::uint16_t magic = in.U16(optional);
    if (magic != kPe32 && magic != kPe32Plus) throw FormatError("unknown optional header");
    const std::size_t countAt = optional + (magic == kPe32 ? 92 : 108);
    const std::size_t directories = countAt + 4;

    Layout layout;
    const std::uint32_t directoryCount = in.U32(countAt);
    if (directoryCount > 0) layout.exportRva = in.U32(directories);
    if (directoryCount > 1) layout.importRva = in.U32(directories + 8);

    const std::size_t table = optional + optionalSize;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = table + i * kSectionHeaderSize;
        const std::uint32_t virtualSize = in.U32(at + 8);
        const std::uint32_t rawSize = in.U32(at + 16);
        layout.sections.push_back(
            {in.U32(at + 12), virtualSize > rawSize ? virtualSize : rawSize, in.U32(at + 20)});
    }
    return layout;
}

std::vector<std::string> ReadExports(const Bytes& in, const Layout& layout) {
    std::vector<std::string> names;
    if (layout.exportRva == 0) return names;
    const std::size_t directory = layout.Offset(layout.exportRva);
    const std::uint32_t count = in.U32(directory + 24);
    const std::size_t nameTable = layout.Offset(in.U32(directory + 32));
    for (std::uint32_t i = 0; i < count; ++i) {
        names.push_back(in.Text(layout.Offset(in.U32(nameTable + 4 * i))));
    }
    return names;
}

std::vector<std::string> ReadImports(const Bytes& in, const Layout& layout) {
    std::vector<std::string> names;
    if (layout.importRva == 0) return names;
    for (std::size_t at = layout.Offset(layout.importRva);; at += kImportDescriptorSize) {
        const std::uint32_t nameRva = in.U32(at + 12);
        if (nameRva == 0) return names;  // the all-zero descriptor ends the table
        names.push_back(in.Text(layout.Offset(nameRva)));
    }
}

}  // namespace

Image Parse(const std::vector<std::uint8_t>& bytes) {
    const Bytes in(bytes);
    if (in.U16(0) != 0x5A4D) throw FormatError("no MZ header");
    const std::size_t header = in.U32(0x3C);
    if (in.U32(header) != kPeSignature) throw FormatError("no PE signature");
    const std::size_t coff = header + 4;
    const Layout layout = ReadLayout(in, coff);

    Image image;
    image.machine = in.U16(coff);
    image.exports = ReadExports(in, layout);
    image.imports = ReadImports(in, layout);
    return image;
}

Image ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    return Parse(bytes);
}

}  // namespace pe
