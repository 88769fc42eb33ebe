// Backing the ports' stored options up to JSON and restoring them:
//   {"portctl": 1, "ports": {"COM7": {"interface": 2, "fifo": true}, ...}}
#ifndef PORTCTL_BACKUP_H
#define PORTCTL_BACKUP_H

#include <string>
#include <vector>

#include "listing.h"
#include "options.h"

namespace portctl {

inline constexpr int kBackupVersion = 1;

// Every addressable port's stored options, leaving out those that are not
// stored or that the port's family does not have (and ports left with none).
Json ExportDocument(const std::vector<PortRow>& rows);

// One option of one port that an import file asks for, with the port's
// value now.
struct ImportStep {
    std::string port;  // "COM7"
    int number = 0;
    const OptionSpec* option = nullptr;
    int value = 0;
    Setting current;
};

// Checks the whole document against the present ports (in `rows`) and
// gives its steps in file order.  Throws InputError naming the place of
// the first fault.
std::vector<ImportStep> PlanImport(const Json& document, const std::vector<PortRow>& rows);

// Whether the step asks for the value the port has now.
bool Unchanged(const ImportStep& step);

}  // namespace portctl

#endif
