// One step of an exported call on its own, for tests that look at a step
// rather than at a whole call: each resolves the COM number as the call
// would (a query's walk for the lookup and the reader, a change's for the
// writer) and reports the store's "no value" as the calls do.
#ifndef TESTS_REFERENCE_ONE_STEP_H
#define TESTS_REFERENCE_ONE_STEP_H

#include <cstdint>

#include "port_resolution.h"
#include "settings_store.h"

namespace one_step {

inline int LookupProductId(int port) {
    return portopt::PortResolution::Resolve(port, portopt::Purpose::kQuery).ProductId();
}

inline int ReadPortSetting(int port, const char* name) {
    portopt::SettingRead read;
    {
        const auto resolved = portopt::PortResolution::Resolve(port, portopt::Purpose::kQuery);
        read = portopt::ReadPortSetting(portopt::LocateSetting(resolved, name));
    }
    if (read.absent) SetLastError(ERROR_FILE_NOT_FOUND);
    return read.value;
}

inline bool WritePortSetting(int port, const char* name, std::int32_t value, DWORD size) {
    const auto resolved = portopt::PortResolution::Resolve(port, portopt::Purpose::kChange);
    return portopt::WritePortSetting(portopt::LocateSetting(resolved, name), value, size);
}

}  // namespace one_step

#endif
