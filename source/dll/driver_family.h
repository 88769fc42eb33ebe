// The two port drivers: where each keeps its settings, the lock over its
// shared tables, and for each option the value name, control request and
// numbering it uses, or that it lacks the option.  An adapter's product ID
// picks the family; everything that differs between the families is read
// from here.
#ifndef PORTOPT_DRIVER_FAMILY_H
#define PORTOPT_DRIVER_FAMILY_H

#include "control_request.h"
#include "portopt.h"
#include "port_option.h"
#include "win32.h"

namespace portopt {

// One option as a family's driver stores and receives it.
struct FamilyOption {
    const char* valueName;  // null: the family has no such option
    DWORD controlCode;
    RecordLayout layout;
    // From the calls' numbering to the driver's and back (its own inverse).
    int (*driverNumbering)(int value);
};

struct DriverFamily {
    // What the port-information record says of a resolved adapter of the
    // family (PO_FAMILY_...).
    int recordCode;
    const char* service;
    // The key under HKEY_LOCAL_MACHINE that holds the FixComFunc switch and
    // the shared tables.
    const char* switchKey;
    // The name of the mutex that orders updates of the shared tables,
    // without its namespace prefix.
    const char* tableLockName;
    FamilyOption options[kOptionCount];

    bool Has(Option option) const { return Of(option).valueName != nullptr; }
    const FamilyOption& Of(Option option) const { return options[IndexOf(option)]; }
};

// The family of an adapter's driver.  Products that did not resolve (-1 and
// 0) are driven like every adapter outside the tovelser family.
const DriverFamily& FamilyOf(int productId);

}  // namespace portopt

#endif
