// Interface modes are numbered 0 to 3 by the calls and by tovelser-family
// drivers; the other driver numbers the same modes with 1 and 2 swapped.
#ifndef PORTOPT_INTERFACE_CODE_H
#define PORTOPT_INTERFACE_CODE_H

namespace portopt {

// Swaps codes 1 and 2, keeps every other value; its own inverse.
constexpr int TranslateInterfaceCode(int code) { return code == 1 ? 2 : code == 2 ? 1 : code; }

}  // namespace portopt

#endif
