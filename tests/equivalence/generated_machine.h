// Simulated machines generated from a seed, for tests that hold two ways
// of answering against each other on many odd device trees: both store
// layouts, both driver families, duplicate COM numbers, hidden, orphaned
// and absent ports, names that match nothing, adapters without a device
// path or with a driver that refuses, keys that refuse writing, short and
// oversized tables and odd values, and hundreds of devices of other
// classes.  Some ports have a COM-port interface and a "PortName" as well
// as the ports class, others the ports class only, and some machines a
// port with a COM-port interface alone, so that the lister and the option
// calls each see ports the other does not.
#ifndef TESTS_EQUIVALENCE_GENERATED_MACHINE_H
#define TESTS_EQUIVALENCE_GENERATED_MACHINE_H

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simwin/machine.h"

namespace generated {

// COM numbers are drawn from 1 to this, so that duplicates are common.
inline constexpr int kHighestCom = 12;

inline constexpr const char* kSettings[] = {"SerInterface", "InterfaceMode", "FastFlush", "TxMode",
                                            "DisableFiFo"};

struct Machine {
    std::vector<std::string> adapterPaths;
    std::vector<std::string> ports;  // instance IDs of the COM-port nodes
};

// Resets the simulated Windows and builds machine `seed` on it.
Machine Build(unsigned seed);

// Everything a call may change on a machine: every setting value in both
// switch keys and in every port's hardware key, and every request each
// adapter's driver received.
struct State {
    std::map<std::pair<std::string, std::string>, std::optional<simwin::RegValue>> values;
    std::map<std::string, std::vector<simwin::Request>> requests;
};
State Observe(const Machine& machine);
// Where `got` differs from `want`, one line each; empty when they agree.
std::string Differences(const State& got, const State& want);

}  // namespace generated

#endif
