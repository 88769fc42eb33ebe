// The tool's commands.  Each writes its data to standard output and its
// messages to standard error, and returns the exit status: 0 when all
// that was asked was done, 1 when a change was refused or failed.  Bad
// usage or input throws InputError before anything is changed.
#ifndef PORTCTL_COMMANDS_H
#define PORTCTL_COMMANDS_H

#include <optional>
#include <string>
#include <vector>

namespace portctl {

// Whether a command made any change call (and so the machine may differ).
struct CommandResult {
    int status = 0;
    bool changeCalled = false;
};

int ListPorts(bool json);
int GetPort(const std::string& port, const std::optional<std::string>& option, bool json);
CommandResult SetOptions(const std::string& port, const std::vector<std::string>& changes);
int ExportOptions(const std::string& file);
CommandResult ImportOptions(const std::string& file, bool dryRun);

}  // namespace portctl

#endif
