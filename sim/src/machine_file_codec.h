// The text forms a machine file gives binary things: hex bytes, UTF-16
// registry strings and 8-bit friendly names as UTF-8 text, registry type
// names, and interface classes.
#ifndef SIMWIN_SRC_MACHINE_FILE_CODEC_H
#define SIMWIN_SRC_MACHINE_FILE_CODEC_H

#include <optional>
#include <string>

#include "simwin/machine.h"

namespace simwin::detail {

// Space-separated lower-case byte pairs ("01 ff").
std::string HexText(const std::uint8_t* data, std::size_t size);
// Appends the bytes of `text` (pairs of hex digits, whitespace ignored);
// returns an explanation when it is not hex.
std::optional<std::string> AppendHex(const std::string& text, Bytes& out);

// UTF-8 text as UTF-16LE with a terminator (registry string data); the
// text must be valid UTF-8.
Bytes Utf16zFromUtf8(const std::string& text);
// The text of registry string data when it is exactly Utf16zFromUtf8 of
// some text without NUL characters; nothing otherwise.
std::optional<std::string> Utf8FromUtf16z(const Bytes& data);
// The text of a NUL-terminated 8-bit name when its bytes are valid UTF-8
// without an inner NUL; nothing otherwise.
std::optional<std::string> TextOfTerminated(const Bytes& data);

// "REG_SZ" and the other names of registry types; empty for other numbers.
std::string RegTypeName(DWORD type);
std::optional<DWORD> RegTypeByName(const std::string& name);

// "ports", "comport" or a braced GUID, and back.
std::string InterfaceClassName(const GUID& g);
std::optional<GUID> InterfaceClassByName(const std::string& name);
std::string GuidText(const GUID& g, bool upper);

}  // namespace simwin::detail

#endif
