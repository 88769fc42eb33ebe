// The machine file inside the simulator: a parsed and fully checked
// description of a machine, the reader that produces one from JSON text,
// the builder that turns one into the current machine, and the writer that
// describes the current machine.
#ifndef SIMWIN_SRC_MACHINE_FILE_H
#define SIMWIN_SRC_MACHINE_FILE_H

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "machine_state.h"

namespace simwin::detail {

struct DeviceDescription {
    std::string instanceId;
    std::string parentId;
    bool present = true;
    ULONG status = DN_DRIVER_LOADED | DN_STARTED;
    std::optional<Bytes> friendlyName;
    std::vector<DeviceInterface> interfaces;
};

struct KeyDescription {
    std::string path;
    std::vector<std::pair<std::string, RegValue>> values;
};

struct DriverDescription {
    std::string devicePath;
    std::optional<DWORD> openError;
    DWORD rejectError = 0;
    int rejectAfter = 0;
};

struct MachineDescription {
    std::vector<DeviceDescription> devices;
    std::vector<KeyDescription> keys;
    std::vector<DriverDescription> drivers;
    bool elevated = true;
};

// What is wrong with a machine file, and where: a JSON pointer, or
// "line L, column C" for a syntax error.
class MachineFileError : public std::runtime_error {
public:
    MachineFileError(const std::string& place, const std::string& what)
        : std::runtime_error(place + ": " + what) {}
};

// Throws MachineFileError for any fault in the document; never changes
// the machine.
MachineDescription ReadMachineDescription(const char* json, std::size_t length);
// Replaces the current machine with the described one.
void BuildMachine(const MachineDescription& description);
// The current machine as a JSON document that reads back to the same machine.
std::string WriteMachineJson();

// The device path the platform gives an interface of `interfaceClass` on
// the device `instanceId`.
std::string DefaultDevicePath(const std::string& instanceId, const GUID& interfaceClass);

extern const char* const kDemoMachineJson;

}  // namespace simwin::detail

#endif
