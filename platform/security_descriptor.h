// Security descriptors built from their string form (SDDL), owned like
// every other platform resource.
#ifndef PLATFORM_SECURITY_DESCRIPTOR_H
#define PLATFORM_SECURITY_DESCRIPTOR_H

#include "unique_resource.h"
#include "win32.h"

namespace platform {

// The descriptor that `text` (ASCII SDDL) describes, freed with LocalFree;
// empty when the platform refuses the string.
LocalBlock SecurityDescriptorFromString(const char* text);

}  // namespace platform

#endif
