// What a library call writes to the process's standard output, caught so
// that portctl's own output there stays its data alone (the lister writes
// its failure message to standard output).
#ifndef PORTCTL_CAPTURED_OUTPUT_H
#define PORTCTL_CAPTURED_OUTPUT_H

#include <functional>
#include <string>

namespace portctl {

// Runs `call` with the standard output descriptor sent into a pipe and
// returns what it wrote there (line ends as "\n").  At most the pipe's
// capacity, 64 KiB, is kept; on POSIX systems more is dropped, on Windows
// more would block, and the lister writes one short line.  Throws
// std::runtime_error, without calling, when standard output cannot be
// redirected.
std::string CaptureStandardOutput(const std::function<void()>& call);

}  // namespace portctl

#endif
