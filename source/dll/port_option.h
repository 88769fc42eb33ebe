// The four options of a port and the rules that hold for each whatever the
// adapter's driver family: which values its change call takes, and how a
// stored value becomes what its query call answers.  What differs between
// the families (value names, control codes, numbering) is in
// driver_family.h.
#ifndef PORTOPT_PORT_OPTION_H
#define PORTOPT_PORT_OPTION_H

#include <cstddef>

namespace portopt {

enum class Option { kInterfaceMode, kFastFlush, kTxMode, kUartFifo };
inline constexpr std::size_t kOptionCount = 4;
inline constexpr Option kOptions[kOptionCount] = {Option::kInterfaceMode, Option::kFastFlush,
                                                  Option::kTxMode, Option::kUartFifo};

constexpr std::size_t IndexOf(Option option) { return static_cast<std::size_t>(option); }

// A value the store holds no value for, or cannot read.
inline constexpr int kNotStored = -1;

struct OptionRule {
    // The value the change call stores and sends for its argument, in the
    // calls' numbering; then the range that value must lie in.
    int (*storedValueOf)(int argument);
    int lowest;
    int highest;
    // What the query call answers for a stored value (kNotStored included)
    // in the calls' numbering.
    int (*answerOf)(int stored);
};

const OptionRule& RuleOf(Option option);

// Whether the option's change call takes `argument`.
bool AcceptsArgument(Option option, int argument);

}  // namespace portopt

#endif
