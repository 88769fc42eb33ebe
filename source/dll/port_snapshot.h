// What the four query calls answer for every COM number, read from the
// device tree and the settings store in one pass.  A listing of many ports
// uses this instead of four exported queries per port, each of which
// rescans the device tree; the exported calls themselves never use it.
#ifndef PORTOPT_PORT_SNAPSHOT_H
#define PORTOPT_PORT_SNAPSHOT_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace portopt {

// One COM number's answers.
struct PortAnswers {
    // LookupProductId: -1 or 0 when the port does not resolve.
    int productId = 0;
    // The adapter's instance ID as the lookup read it back and the identity
    // parsed from it; empty and 0 when the port does not resolve to a
    // device (a resolved ID may still yield product 0).
    std::string adapterId;
    std::uint32_t identity = 0;
    // The channel index of the port the adapter was found through (-1 when
    // its name has no "Port " number, or nothing was found).
    int channel = -1;
    bool tovelser = false;

    // PoGetInterface, PoGetFastFlush, PoGetTxMode, PoGetUARTFIFO.
    int interfaceMode = 0;
    int fastFlush = 0;
    int txMode = 0;
    int uartFifo = 0;
    // Whether "DisableFiFo" is stored, which PoGetUARTFIFO cannot tell.
    bool fifoStored = false;
};

class PortSnapshot {
public:
    // Reads the device tree and the store once.
    static PortSnapshot Read();

    // The answers for COM `port`, 1 to 256.
    const PortAnswers& Answers(int port) const;

private:
    std::array<PortAnswers, 256> answers_{};
};

}  // namespace portopt

#endif
