// The names EnumCOMPorts gives, as UTF-8 strings in the lister's order.
#ifndef PORTCTL_PORT_ENUMERATION_H
#define PORTCTL_PORT_ENUMERATION_H

#include <stdexcept>
#include <string>
#include <vector>

namespace portctl {

// The lister could not build its device list; its own message, which it
// writes to standard output, has been passed on to standard error.
struct ListingFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws ListingFailed when the lister reports a failure.
std::vector<std::string> EnumeratePortNames();

}  // namespace portctl

#endif
