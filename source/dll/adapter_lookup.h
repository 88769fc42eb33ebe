// The adapter behind a port, looked up by itself: a list of the adapter
// alone (its ports-class interfaces, with its instance ID as the
// enumerator) instead of a list of every device of every class.
#ifndef PORTOPT_ADAPTER_LOOKUP_H
#define PORTOPT_ADAPTER_LOOKUP_H

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "win32.h"

namespace portopt {

struct AdapterLookup {
    // False when the adapter's list could not be built, which counts as
    // the device lists being unavailable.
    bool listBuilt = false;
    // The instance ID as the list reads it back (a 200-byte buffer, so an
    // ID of 200 characters or more does not); nullopt when it does not, or
    // the adapter could not be had in its list.
    std::optional<std::string> instanceId;
    // The path of the adapter's first ports-class interface, when asked
    // for; nullopt when it has none or the path cannot be read.
    std::optional<std::string> devicePath;
};

// Looks up the adapter with `instanceId` (as the configuration manager
// gave it for the port's parent).  An adapter that exposes no ports-class
// interface is not in its own list; it is added to it, so that its
// instance ID still reads back.
AdapterLookup LookUpAdapter(const std::string& instanceId, bool withDevicePath);

// Looks up the adapter in `ports`, the ports list the call holds and has
// walked to its end: an adapter that exposes a ports-class interface is
// there already, any other is added to it.  Builds no list, and gives no
// device path.
AdapterLookup LookUpAdapterIn(HDEVINFO ports, const std::string& instanceId);

// The adapters one call has looked up, each looked up at most once: the
// all-ports call reaches an adapter through every one of its ports.
class AdapterLookups {
public:
    AdapterLookups() = default;
    // Lookups without a device path go to `ports` (see LookUpAdapterIn)
    // instead of a list of the adapter's own.
    explicit AdapterLookups(HDEVINFO ports) : ports_(ports) {}

    const AdapterLookup& LookUp(const std::string& instanceId, bool withDevicePath);

private:
    HDEVINFO ports_ = nullptr;
    std::map<std::pair<std::string, bool>, AdapterLookup> done_;
};

}  // namespace portopt

#endif
