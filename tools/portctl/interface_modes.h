// The interface modes a port's adapter accepts, as the library's record
// gives them (bit n for mode n): shown in the listings, and a mode the
// adapter lacks refused before any change call is made.
#ifndef PORTCTL_INTERFACE_MODES_H
#define PORTCTL_INTERFACE_MODES_H

#include <optional>
#include <string>
#include <vector>

#include "listing.h"
#include "options.h"

namespace portctl {

// The modes, in order: {1, 2, 3} for PO_MODES_NOT_ZERO.
std::vector<int> ModesOf(int modes);
// "1, 2 and 3", "0".
std::string ModeList(int modes);

// Why `option` cannot be set to `value` on the row's port, naming the
// adapter and the modes it has; nullopt when nothing speaks against it
// (another option, or a port whose adapter or modes are not known).
std::optional<std::string> ModeRefusal(const PortRow& row, const OptionSpec& option, int value);

}  // namespace portctl

#endif
