// Whether the calling process runs with administrator rights, as its token
// says: changes below HKEY_LOCAL_MACHINE and to devices need them.
#ifndef PLATFORM_ELEVATION_H
#define PLATFORM_ELEVATION_H

namespace platform {

// True when the token says that the process is not elevated; false when it
// is, or when the token cannot be asked (the changes themselves then tell).
bool KnownNotElevated();

}  // namespace platform

#endif
