// What the four query calls answer for every COM number, read from the
// device tree and the settings store in one pass: the reading behind the
// all-ports information call, instead of four query calls per port, each
// of which walks the device tree again.
#ifndef PORTOPT_PORT_SNAPSHOT_H
#define PORTOPT_PORT_SNAPSHOT_H

#include <array>
#include <bitset>
#include <vector>

#include "port_answers.h"

namespace portopt {

class PortSnapshot {
public:
    // Reads the device tree and the store once.
    static PortSnapshot Read();

    // The answers for COM `port`, one of the CarriedComNumbers() (for any
    // other number, empty answers).
    const PortAnswers& Answers(int port) const;

    // Whether the ports list could be built at all.
    bool ListBuilt() const { return listBuilt_; }
    // The COM numbers that present ports carry, in ascending order.
    std::vector<int> CarriedComNumbers() const;

private:
    std::array<PortAnswers, 256> answers_{};
    std::bitset<256> carried_;
    bool listBuilt_ = false;
};

}  // namespace portopt

#endif
