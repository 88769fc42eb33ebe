// Whether portctl runs with administrator rights: the driver's settings
// below HKEY_LOCAL_MACHINE can be changed only by an elevated process.
#ifndef PORTCTL_ELEVATION_H
#define PORTCTL_ELEVATION_H

namespace portctl {

// True when the process's token says that it is not elevated; false when
// it is, or when the token cannot be asked.
bool KnownNotElevated();

}  // namespace portctl

#endif
