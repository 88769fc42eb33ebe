#include "simulated_machine.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "input_error.h"
#include "simwin/machine.h"
#include "simwin/machine_file.h"

namespace portctl {

namespace {

constexpr std::size_t kErrorSize = 512;

}  // namespace

void LoadMachineFile(const std::string& file) {
    char error[kErrorSize] = {};
    if (simwin_load_machine_file(file.c_str(), error, sizeof(error)) != 0) {
        throw InputError("machine file " + file + ": " + error);
    }
}

void LoadDemoMachine() {
    char error[kErrorSize] = {};
    if (simwin_load_demo_machine(error, sizeof(error)) != 0) {
        throw std::runtime_error(std::string("the demo machine does not load: ") + error);
    }
}

void SaveMachineFile(const std::string& file) {
    char error[kErrorSize] = {};
    if (simwin_save_machine_file(file.c_str(), error, sizeof(error)) != 0) {
        throw std::runtime_error("machine file " + file + " not written: " + error);
    }
}

std::string DemoMachineJson() { return simwin_demo_machine_json(); }

void InjectFaults() {
    const char* list = std::getenv("PORTCTL_SIM_FAULTS");
    if (!list) return;
    std::istringstream faults(list);
    for (std::string fault; std::getline(faults, fault, ',');) {
        const std::size_t colon = fault.find(':');
        const std::string call = colon == std::string::npos ? "" : fault.substr(colon + 1);
        if (colon == 0 || call.empty() ||
            call.find_first_not_of("0123456789") != std::string::npos || call.size() > 6) {
            throw InputError("PORTCTL_SIM_FAULTS: '" + fault + "' is not OPERATION:K");
        }
        simwin::FailAt(fault.substr(0, colon), std::stoi(call));
    }
}

}  // namespace portctl
