// The control requests the port drivers accept: five control codes and the
// 8-byte record they carry, two signed 32-bit little-endian fields (the
// value and the port's channel index on the adapter) in one of two orders.
#ifndef PORTOPT_CONTROL_REQUEST_H
#define PORTOPT_CONTROL_REQUEST_H

#include <array>
#include <cstdint>

#include "win32.h"

namespace portopt {

// Device types and functions of the two drivers' requests.
inline constexpr DWORD kTovelserDeviceType = 0x22;
inline constexpr DWORD kKarbendDeviceType = 0x404;

// Set the interface mode of a tovelser-family port (value in the calls'
// numbering, record with the value first).
inline constexpr DWORD kSetInterfaceTovelser =
    CTL_CODE(kTovelserDeviceType, 0x820, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Set the interface mode of another adapter's port (value in the driver's
// numbering), and its fast flush, transmit mode and FIFO switch.
inline constexpr DWORD kSetInterfaceMode =
    CTL_CODE(kKarbendDeviceType, 0x805, METHOD_BUFFERED, FILE_ANY_ACCESS);
inline constexpr DWORD kSetFastFlush =
    CTL_CODE(kKarbendDeviceType, 0x806, METHOD_BUFFERED, FILE_ANY_ACCESS);
inline constexpr DWORD kSetTxMode =
    CTL_CODE(kKarbendDeviceType, 0x807, METHOD_BUFFERED, FILE_ANY_ACCESS);
inline constexpr DWORD kSetUartFifo =
    CTL_CODE(kKarbendDeviceType, 0x808, METHOD_BUFFERED, FILE_ANY_ACCESS);

// The drivers decode these exact numbers.
static_assert(kSetInterfaceTovelser == 0x00222080, "tovelser interface-mode code");
static_assert(kSetInterfaceMode == 0x04042014, "interface-mode code");
static_assert(kSetFastFlush == 0x04042018, "fast-flush code");
static_assert(kSetTxMode == 0x0404201C, "transmit-mode code");
static_assert(kSetUartFifo == 0x04042020, "UART FIFO code");

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
    static void PutLittleEndian(ControlRecordBytes& bytes, std::size_t offset,
                                std::int32_t field) {
        const auto bits = static_cast<std::uint32_t>(field);
        for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<BYTE>(bits >> (8 * i));
    }

    RecordLayout layout_;
    std::int32_t channel_;
    std::int32_t value_;
};

}  // namespace portopt

#endif
