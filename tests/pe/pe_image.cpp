#include "pe_image.h"

#include <fstream>
#include <optional>
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

    std::vector<std::uint8_t> Slice(std::size_t offset, std::size_t size) const {
        Need(offset, size);
        return std::vector<std::uint8_t>(data_.begin() + offset, data_.begin() + offset + size);
    }

    // UTF-16 text from `offset` up to a NUL or `end`, whichever comes
    // first; `next` receives the offset after the NUL, or 0 when there is
    // none before `end`.
    std::string Utf16(std::size_t offset, std::size_t end, std::size_t& next) const {
        std::string text;
        next = 0;
        for (; offset + 2 <= end; offset += 2) {
            const std::uint16_t unit = U16(offset);
            if (unit == 0) {
                next = offset + 2;
                break;
            }
            text.push_back(unit < 0x80 ? char(unit) : '?');
        }
        return text;
    }

    std::size_t Size() const { return data_.size(); }

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
    std::uint32_t resourceRva = 0;

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
    if (directoryCount > 2) layout.resourceRva = in.U32(directories + 16);

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

std::vector<Export> ReadExports(const Bytes& in, const Layout& layout) {
    std::vector<Export> exports;
    if (layout.exportRva == 0) return exports;
    const std::size_t directory = layout.Offset(layout.exportRva);
    const std::uint32_t addressCount = in.U32(directory + 20);
    const std::uint32_t count = in.U32(directory + 24);
    const std::size_t addressTable = layout.Offset(in.U32(directory + 28));
    const std::size_t nameTable = layout.Offset(in.U32(directory + 32));
    const std::size_t ordinalTable = layout.Offset(in.U32(directory + 36));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t index = in.U16(ordinalTable + 2 * i);
        if (index >= addressCount) throw FormatError("export ordinal beyond the address table");
        exports.push_back({in.Text(layout.Offset(in.U32(nameTable + 4 * i))),
                           in.U32(addressTable + 4 * std::size_t(index))});
    }
    return exports;
}

constexpr std::uint32_t kResourceVersionType = 16;  // RT_VERSION
constexpr std::uint32_t kSubdirectoryBit = 0x80000000;

// The OffsetToData of the first entry of the resource directory at `at`
// whose ID is `id`, or of its first entry when `id` is empty; 0 when none.
std::uint32_t FindResourceEntry(const Bytes& in, std::size_t at, std::optional<std::uint32_t> id) {
    const std::size_t count = std::size_t(in.U16(at + 12)) + in.U16(at + 14);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = at + 16 + 8 * i;
        const std::uint32_t name = in.U32(entry);
        if (!id || (!(name & kSubdirectoryBit) && name == *id)) return in.U32(entry + 4);
    }
    return 0;
}

// The bytes of the first version resource: type 16, then its first name
// and first language.
std::optional<std::vector<std::uint8_t>> ReadVersionResource(const Bytes& in, const Layout& layout) {
    if (layout.resourceRva == 0) return std::nullopt;
    const std::size_t base = layout.Offset(layout.resourceRva);
    std::uint32_t entry = FindResourceEntry(in, base, kResourceVersionType);
    for (int level = 0; level < 2; ++level) {  // type to name, name to language
        if (entry == 0) return std::nullopt;
        if (!(entry & kSubdirectoryBit)) throw FormatError("resource leaf above the language level");
        entry = FindResourceEntry(in, base + (entry & ~kSubdirectoryBit), std::nullopt);
    }
    if (entry == 0) return std::nullopt;
    if (entry & kSubdirectoryBit) throw FormatError("resource directory below the language level");
    const std::size_t data = base + entry;
    return in.Slice(layout.Offset(in.U32(data)), in.U32(data + 4));
}

// One block of a version resource: a key, a value, and children up to `end`.
struct VersionBlock {
    std::string key;
    std::size_t valueAt = 0;
    std::size_t valueBytes = 0;
    std::size_t childrenAt = 0;
    std::size_t end = 0;
};

constexpr std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t(3); }

VersionBlock ReadVersionBlock(const Bytes& in, std::size_t at, std::size_t limit) {
    const std::uint16_t length = in.U16(at);
    const std::uint16_t valueLength = in.U16(at + 2);
    const std::uint16_t type = in.U16(at + 4);
    if (length < 6 || length > limit - at) {
        throw FormatError("version block at offset " + std::to_string(at) + " has a bad length");
    }
    VersionBlock block;
    block.end = at + length;
    std::size_t afterKey = 0;
    block.key = in.Utf16(at + 6, block.end, afterKey);
    if (afterKey == 0) throw FormatError("version block at offset " + std::to_string(at) + " has an unterminated key");
    block.valueAt = Align4(afterKey);
    block.valueBytes = type == 1 ? 2 * std::size_t(valueLength) : valueLength;  // 1: text
    if (block.valueAt > block.end || block.valueBytes > block.end - block.valueAt) {
        throw FormatError("version block '" + block.key + "' has a value past its end");
    }
    block.childrenAt = Align4(block.valueAt + block.valueBytes);
    return block;
}

// Calls visit(child) for every child block of `parent`.
template <typename Visit>
void ForEachChild(const Bytes& in, const VersionBlock& parent, Visit visit) {
    for (std::size_t at = parent.childrenAt; at < parent.end;) {
        const VersionBlock child = ReadVersionBlock(in, at, parent.end);
        visit(child);
        at = Align4(child.end);
    }
}

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;

std::array<std::uint16_t, 4> VersionWords(const Bytes& in, std::size_t at) {
    const std::uint32_t high = in.U32(at);
    const std::uint32_t low = in.U32(at + 4);
    return {std::uint16_t(high >> 16), std::uint16_t(high), std::uint16_t(low >> 16),
            std::uint16_t(low)};
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

VersionInfo ParseVersionInfo(const std::vector<std::uint8_t>& bytes) {
    const Bytes in(bytes);
    const VersionBlock root = ReadVersionBlock(in, 0, in.Size());
    if (root.key != "VS_VERSION_INFO") throw FormatError("no VS_VERSION_INFO block");
    if (root.valueBytes < kFixedInfoSize || in.U32(root.valueAt) != kFixedInfoSignature) {
        throw FormatError("no fixed file information");
    }
    VersionInfo info;
    info.fileVersion = VersionWords(in, root.valueAt + 8);
    info.productVersion = VersionWords(in, root.valueAt + 16);
    ForEachChild(in, root, [&](const VersionBlock& child) {
        if (child.key != "StringFileInfo") return;
        ForEachChild(in, child, [&](const VersionBlock& table) {
            ForEachChild(in, table, [&](const VersionBlock& entry) {
                std::size_t next = 0;
                info.strings[entry.key] = in.Utf16(entry.valueAt, entry.valueAt + entry.valueBytes, next);
            });
        });
    });
    return info;
}

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
    if (const auto resource = ReadVersionResource(in, layout)) {
        image.version = ParseVersionInfo(*resource);
    }
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
