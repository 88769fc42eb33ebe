// The names the lister gives, as UTF-8 strings in its order.
#ifndef PORTCTL_PORT_ENUMERATION_H
#define PORTCTL_PORT_ENUMERATION_H

#include <stdexcept>
#include <string>
#include <vector>

namespace portctl {

// The ports cannot be listed; the message says why, with the platform's
// error code.
struct ListingFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws ListingFailed when the lister reports a failure.  Writes nothing.
std::vector<std::string> EnumeratePortNames();

}  // namespace portctl

#endif
