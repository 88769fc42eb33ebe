// A port's COM number: changing it with read-back, and the COM port
// database's view of the numbers beside the ports' own.
#ifndef PORTCTL_COM_NUMBER_H
#define PORTCTL_COM_NUMBER_H

#include <optional>
#include <string>
#include <vector>

#include "listing.h"

namespace portctl {

struct NumberOutcome {
    bool done = false;
    bool needsReboot = false;  // done, but the device takes it once Windows restarts
    std::string reason;        // when not done
};

// Gives the port of `row` the number `newNumber` (`force`: also one that
// only the database marks in use) and reads it back: the same adapter's
// port must then be listed under the new number.
NumberOutcome ApplyNumber(const PortRow& row, int newNumber, bool force);

// The numbers the COM port database marks in use, read from its registry
// value (no rights needed); nullopt when there is no database to read.
std::optional<std::vector<int>> ReadDatabaseNumbers();

// One line for each number where the database and the listed ports differ:
// held in the database but carried by no listed port, or carried by a
// listed port but not held.  Only `numbers` are considered when given.
std::string DatabaseNotes(const std::vector<PortRow>& rows, const std::vector<int>& held,
                          const std::optional<int>& only = std::nullopt);

}  // namespace portctl

#endif
