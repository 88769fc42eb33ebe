// Replacing a file whole: the text goes to a temporary file beside it,
// which is flushed to disk and then renamed over the file, so that an
// interrupted write leaves the old file as it was.
#ifndef PORTCTL_ATOMIC_FILE_H
#define PORTCTL_ATOMIC_FILE_H

#include <string>

namespace portctl {

// Throws std::runtime_error naming what failed; the temporary file is
// removed then, and `path` is untouched.
void WriteFileAtomically(const std::string& path, const std::string& text);

}  // namespace portctl

#endif
