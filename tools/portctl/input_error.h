// Bad usage or bad input: an unknown port, option or value, an unreadable
// or malformed file.  The tool reports it and exits with status 2 before
// changing anything.
#ifndef PORTCTL_INPUT_ERROR_H
#define PORTCTL_INPUT_ERROR_H

#include <stdexcept>

namespace portctl {

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace portctl

#endif
