// The host build runs on the simulated Windows: the machine comes from a
// JSON machine file, or is the embedded demo machine.
#ifndef PORTCTL_SIMULATED_MACHINE_H
#define PORTCTL_SIMULATED_MACHINE_H

#include <string>

namespace portctl {

// Loads the machine described by `file`; throws InputError naming the
// place of a fault, leaving nothing written.
void LoadMachineFile(const std::string& file);
void LoadDemoMachine();
// Writes the machine back to `file` atomically; throws std::runtime_error
// when it cannot.
void SaveMachineFile(const std::string& file);
// The demo machine's JSON.
std::string DemoMachineJson();

// For tests: the faults that PORTCTL_SIM_FAULTS names, a comma-separated
// list of OPERATION:K (the K-th call of the Win32 operation fails, as
// simwin::FailAt makes it), e.g. "SetupDiGetClassDevsW:1".  Throws
// InputError for a malformed list.
void InjectFaults();

}  // namespace portctl

#endif
