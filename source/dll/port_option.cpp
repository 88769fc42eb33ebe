#include "port_option.h"

namespace portopt {

namespace {

int Unchanged(int value) { return value; }

// The drivers store and receive "FIFO disabled": any nonzero argument
// enables the FIFO, and only a stored 0 means that it is enabled (a value
// that is not stored answers "disabled").
int DisabledUnless(int enable) { return enable == 0 ? 1 : 0; }
int EnabledWhenNotDisabled(int disabled) { return disabled == 0 ? 1 : 0; }

constexpr OptionRule kRules[kOptionCount] = {
    /* interface mode */ {Unchanged, 0, 3, Unchanged},
    /* fast flush     */ {Unchanged, 0, 1, Unchanged},
    /* transmit mode  */ {Unchanged, 0, 1, Unchanged},
    /* UART FIFO      */ {DisabledUnless, 0, 1, EnabledWhenNotDisabled},
};

}  // namespace

const OptionRule& RuleOf(Option option) { return kRules[IndexOf(option)]; }

bool AcceptsArgument(Option option, int argument) {
    const OptionRule& rule = RuleOf(option);
    const int value = rule.storedValueOf(argument);
    return value >= rule.lowest && value <= rule.highest;
}

}  // namespace portopt
