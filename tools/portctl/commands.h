// The tool's commands.  Each writes its data to standard output and its
// messages to standard error, and returns the exit status: 0 when all
// that was asked was done, 1 when a change was refused or failed.  Bad
// usage or input throws InputError before anything is changed.  When the
// lister cannot list the ports, each says so with status 1 (`list --json`
// and `export -` after writing an empty listing, so that standard output
// stays valid JSON).
#ifndef PORTCTL_COMMANDS_H
#define PORTCTL_COMMANDS_H

#include <optional>
#include <string>
#include <vector>

#include "portprofile.h"

namespace portctl {

// Whether a command made any change call (and so the machine may differ).
struct CommandResult {
    int status = 0;
    bool changeCalled = false;
};

int ListPorts(bool json);
int GetPort(const std::string& port, const std::optional<std::string>& option, bool json);
// OPTION VALUE pairs, and "number N", which gives the port COM N once its
// options are set (`force`: also a number only the COM port database holds).
CommandResult SetOptions(const std::string& port, std::vector<std::string> changes,
                         bool force = false);
int ExportOptions(const std::string& file);

struct ImportRequest {
    std::string file;
    bool dryRun = false;
    int match = PO_MATCH_NUMBER;  // or PO_MATCH_POSITION, with PO_MATCH_NUMBERS or not
    bool json = false;            // one JSON object on standard output instead of lines
    // Only whether every option already holds: a dry run that counts a
    // port missing by COM number as a difference, answers with one line
    // (or the JSON object), and writes nothing to standard error unless it
    // refuses its input.  Status 1 when any option differs or cannot be
    // read, the ports cannot be listed included.
    bool check = false;
};
CommandResult ImportOptions(const ImportRequest& request);

}  // namespace portctl

#endif
