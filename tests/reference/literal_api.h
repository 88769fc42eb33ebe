// The step-by-step calls as a table of the library's calls, for the
// benchmarks that set them beside the one-walk calls.
#ifndef TESTS_REFERENCE_LITERAL_API_H
#define TESTS_REFERENCE_LITERAL_API_H

#include "library_api.h"

namespace literal {

const fixture::PortoptApi& Api();

}  // namespace literal

#endif
