// The steps the literal calls are made of, each resolving the COM number on
// its own.
#ifndef TESTS_REFERENCE_LITERAL_STEPS_H
#define TESTS_REFERENCE_LITERAL_STEPS_H

#include <cstdint>

#include "literal_calls.h"
#include "unique_resource.h"

namespace literal {

// The adapter of the first port that carries COM `port` and whose adapter
// has a device path; `channel` is written by every name parsed on the way.
platform::DeviceHandle OpenAdapterChannel(int port, int& channel);

// Where one setting lives, decided from a product ID.
struct Place {
    int productId;
    const char* valueName;
    bool sharedTable;
};
Place LocateSetting(int productId, const char* name);

// Per-port values: the first port whose name carries the COM number and
// whose value reads (reader), the first whose name carries it (writer).
int ReadSetting(const Place& place, int port);
bool WriteSetting(const Place& place, int port, std::int32_t value);
int ReadPortSetting(int port, const char* name);

// Which port each step would settle on for COM `port`, without changing
// anything: the lookup, the channel open and, where the setting is a
// per-port value (`tovelserName` or `otherName` by the product's family,
// null for none), the reader and the writer.
Trace ProbeSteps(int port, const char* tovelserName, const char* otherName);

}  // namespace literal

#endif
