#include "simulated_machine.h"

#include <stdexcept>

#include "input_error.h"
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

}  // namespace portctl
