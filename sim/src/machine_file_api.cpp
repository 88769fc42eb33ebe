// The C entry points of the machine file: loading replaces the machine
// only after the whole document has been checked, saving replaces the
// target file only once the new document is complete on disk.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "machine_file.h"
#include "simwin/machine_file.h"

namespace simwin::detail {
namespace {

int Report(const std::string& message, char* error, std::size_t errorSize) {
    if (error && errorSize) {
        const std::size_t n = std::min(message.size(), errorSize - 1);
        std::memcpy(error, message.data(), n);
        error[n] = '\0';
    }
    return 1;
}

// Runs `body`, turning any exception into a nonzero result and a message.
template <typename Body>
int Guarded(const char* what, char* error, std::size_t errorSize, Body body) {
    try {
        body();
        if (error && errorSize) error[0] = '\0';
        return 0;
    } catch (const std::exception& e) {
        return Report(std::string(what) + ": " + e.what(), error, errorSize);
    } catch (...) {
        return Report(std::string(what) + ": unknown failure", error, errorSize);
    }
}

[[noreturn]] void FailErrno(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) FailErrno("cannot open " + path);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) FailErrno("cannot read " + path);
    return text.str();
}

// A temporary file beside the target, removed unless it was renamed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : path_(target + ".XXXXXX") {
        fd_ = mkstemp(path_.data());
        if (fd_ < 0) FailErrno("cannot create a temporary file beside " + target);
    }
    ~TemporaryFile() {
        if (fd_ >= 0) close(fd_);
        if (!renamed_) unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void Write(const std::string& text) {
        for (std::size_t done = 0; done < text.size();) {
            ssize_t n = write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) FailErrno("cannot write " + path_);
            done += std::size_t(n);
        }
        if (fsync(fd_) != 0) FailErrno("cannot flush " + path_);
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) FailErrno("cannot close " + path_);
    }
    void RenameTo(const std::string& target) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) FailErrno("cannot replace " + target);
        renamed_ = true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool renamed_ = false;
};

void Load(const char* json, std::size_t length) {
    // Checked in full before the machine changes.
    const MachineDescription description = ReadMachineDescription(json, length);
    BuildMachine(description);
}

}  // namespace

void BuildMachine(const MachineDescription& description) {
    Reset();
    for (const DeviceDescription& d : description.devices) {
        AddDevice(d.instanceId, d.parentId);
        SetPresent(d.instanceId, d.present);
        SetStatus(d.instanceId, d.status);
        if (d.friendlyName) SetFriendlyName(d.instanceId, *d.friendlyName);
        for (const DeviceInterface& i : d.interfaces)
            AddInterface(d.instanceId, i.interfaceClass, i.devicePath);
    }
    for (const KeyDescription& key : description.keys) {
        CreateKey(key.path);
        for (const auto& [name, value] : key.values)
            SetValue(key.path, name, value.type, value.data);
    }
    for (const DriverDescription& d : description.drivers) {
        if (d.openError) SetUnopenable(d.devicePath, *d.openError);
        if (d.rejectError) RejectRequests(d.devicePath, d.rejectError, d.rejectAfter);
    }
    SetElevated(description.elevated);
}

}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

int simwin_load_machine_json(const char* json, size_t length, char* error, size_t error_size) {
    return Guarded("machine file", error, error_size, [&] {
        if (!json && length) throw std::invalid_argument("no text");
        Load(json ? json : "", length);
    });
}

int simwin_load_machine_file(const char* path, char* error, size_t error_size) {
    const std::string name = path ? path : "";
    return Guarded(name.c_str(), error, error_size, [&] {
        const std::string text = ReadFile(name);
        Load(text.data(), text.size());
    });
}

int simwin_save_machine_file(const char* path, char* error, size_t error_size) {
    const std::string name = path ? path : "";
    return Guarded(name.c_str(), error, error_size, [&] {
        const std::string text = WriteMachineJson();
        TemporaryFile file(name);
        file.Write(text);
        file.RenameTo(name);
    });
}

size_t simwin_machine_json(char* buffer, size_t buffer_size) {
    std::string text;
    try {
        text = WriteMachineJson();
    } catch (...) {
        text.clear();
    }
    if (buffer && buffer_size) {
        const std::size_t n = std::min(text.size(), buffer_size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text.size();
}

const char* simwin_demo_machine_json(void) { return kDemoMachineJson; }

int simwin_load_demo_machine(char* error, size_t error_size) {
    return Guarded("demo machine", error, error_size,
                   [&] { Load(kDemoMachineJson, std::strlen(kDemoMachineJson)); });
}
}
