// One step of an exported call on its own, for tests that look at a step
// rather than at a whole call: each resolves the COM number as the call
// would (a query's walk for the lookup and the reader, a change's for the
// writer) and reports the store's "no value" as the calls do.  Settings are
// named by option, as the port's driver family names them.
#ifndef TESTS_REFERENCE_ONE_STEP_H
#define TESTS_REFERENCE_ONE_STEP_H

#include <cstdint>

#include "port_resolution.h"
#include "settings_store.h"

namespace one_step {

inline int LookupProductId(int port) {
    return portopt::PortResolution::Resolve(port, portopt::Purpose::kQuery).Port().productId;
}

inline int ReadPortSetting(int port, portopt::Option option) {
    portopt::SettingRead read;
    {
        const auto resolution = portopt::PortResolution::Resolve(port, portopt::Purpose::kQuery);
        portopt::StoreReader store;
        read = store.Read(store.Locate(resolution.Port(), option));
    }
    if (read.absent) SetLastError(ERROR_FILE_NOT_FOUND);
    return read.value;
}

inline bool WritePortSetting(int port, portopt::Option option, std::int32_t value, DWORD size) {
    const auto resolution = portopt::PortResolution::Resolve(port, portopt::Purpose::kChange);
    portopt::StoreReader store;
    return portopt::WritePortSetting(store.Locate(resolution.Port(), option), value, size);
}

}  // namespace one_step

#endif
