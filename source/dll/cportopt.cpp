// The library's exported class: no data and no behaviour of its own; its
// copy assignment is exported so that callers linking against it resolve.
#include "portopt.h"

Cportopt& Cportopt::operator=(const Cportopt&) { return *this; }
