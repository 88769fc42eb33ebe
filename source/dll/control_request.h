// The 8-byte record every control request to the port drivers carries: two
// signed 32-bit little-endian fields, the value and the port's channel
// index on the adapter, in one of two orders.  Which request and which
// order each option uses is the driver family's (driver_family.h).
#ifndef PORTOPT_CONTROL_REQUEST_H
#define PORTOPT_CONTROL_REQUEST_H

#include <array>
#include <cstdint>

#include "win32.h"

namespace portopt {

inline constexpr std::size_t kControlRecordSize = 8;
using ControlRecordBytes = std::array<BYTE, kControlRecordSize>;

// Which field comes first in the record.
enum class RecordLayout {
    kValueFirst,    // tovelser-family interface-mode request
    kChannelFirst,  // every other request
};

// One request record.  The value can be replaced, so that the same record
// can give the driver the old value back.
class ControlRecord {
public:
    constexpr ControlRecord(RecordLayout layout, std::int32_t channel, std::int32_t value)
        : layout_(layout), channel_(channel), value_(value) {}

    void SetValue(std::int32_t value) { value_ = value; }
    std::int32_t Value() const { return value_; }

    // The 8 bytes as the driver reads them.
    ControlRecordBytes Bytes() const {
        ControlRecordBytes bytes{};
        const bool valueFirst = layout_ == RecordLayout::kValueFirst;
        PutLittleEndian(bytes, 0, valueFirst ? value_ : channel_);
        PutLittleEndian(bytes, 4, valueFirst ? channel_ : value_);
        return bytes;
    }

private:
    static void PutLittleEndian(ControlRecordBytes& bytes, std::size_t offset, std::int32_t field) {
        const auto bits = static_cast<std::uint32_t>(field);
        for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<BYTE>(bits >> (8 * i));
    }

    RecordLayout layout_;
    std::int32_t channel_;
    std::int32_t value_;
};

}  // namespace portopt

#endif
