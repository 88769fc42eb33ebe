// Backing the ports' stored options up to JSON and restoring them:
//   {"portctl": 1, "ports": {"COM7": {"adapter": {"id": "USB\\...", "vendor": 6699,
//    "product": 8260}, "position": 2, "interface": 2, "fifo": true}, ...}}
// An entry's adapter and position say where the port was; they are left
// out for a port without them, and files without them are read as well.
#ifndef PORTPROFILE_BACKUP_H
#define PORTPROFILE_BACKUP_H

#include <optional>
#include <string>
#include <vector>

#include "listing.h"
#include "options.h"

namespace portctl {

inline constexpr int kBackupVersion = 1;

// Every addressable port's stored options, leaving out those that are not
// stored or that the port's family does not have.  A port left with none
// is kept when it sits on an adapter, for its COM number and place.
Json ExportDocument(const std::vector<PortRow>& rows);

// How an import file's entries find the present ports.
enum class MatchBy {
    kNumber,    // by the entry's COM number
    kPosition,  // the port at the entry's position on an adapter of its model
};

// One option of one port that an import file asks for, with the port's
// value now.
struct ImportStep {
    std::string entry;  // the file's name of the port, "COM3"
    std::string port;   // the present port it goes to, "COM7"
    int number = 0;
    const OptionSpec* option = nullptr;
    int value = 0;
    Setting current;
    bool present = true;  // false: no port of the entry's COM number is here
    // Why the port cannot take the value, known before any call (a mode
    // its adapter lacks); none when nothing speaks against it.
    std::optional<std::string> refusal;
};

// A port matched by position, with the COM number its entry is keyed by
// (import --numbers).
struct NumberStep {
    std::string entry;  // the file's name of the port, "COM11": the number it is to carry
    std::string port;   // the present port, as found, "COM12"
    const PortRow* row = nullptr;
    int from = 0;
    int to = 0;
};

// What becomes of an entry whose COM number is not here, matching by number.
enum class MissingPort {
    kRefused,  // the file is refused
    kKept,     // its steps are given, not present (a check finds the port missing)
};

// Checks the whole document against the present ports (in `rows`) and
// gives its steps in file order.  Throws InputError naming the place of
// the first fault, or every entry that cannot be matched by position.
// With `numbers` (matching by position), also each entry's port and the
// number it is to carry, in file order; a number no port can be given, or
// one that two entries give, is a fault.  Without `numbers` an entry
// with no option is passed over: it has nothing to set.
std::vector<ImportStep> PlanImport(const Json& document, const std::vector<PortRow>& rows,
                                   MatchBy match = MatchBy::kNumber,
                                   MissingPort missing = MissingPort::kRefused,
                                   std::vector<NumberStep>* numbers = nullptr);

// Whether the step asks for the value the port has now.
bool Unchanged(const ImportStep& step);

}  // namespace portctl

#endif
