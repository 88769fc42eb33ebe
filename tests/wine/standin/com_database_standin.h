// A test-side stand-in for what Wine 8 lacks to renumber a port: the COM
// port database calls of msports.dll (its ComDBOpen aborts the process) and
// the device restart through the class installer (Wine 8 refuses
// DIF_PROPERTYCHANGE).  The database is the one Microsoft documents, the
// REG_BINARY value "ComDB" under HKLM\SYSTEM\CurrentControlSet\Control\COM
// Name Arbiter in the prefix, one bit per COM number; a restart records the
// "PortName" the device then has with the fixture's device records.
// Installed into a loaded module by replacing its imports, before any call.
#ifndef TESTS_WINE_STANDIN_COM_DATABASE_STANDIN_H
#define TESTS_WINE_STANDIN_COM_DATABASE_STANDIN_H

#include <windows.h>

#include <optional>
#include <string>

namespace standin {

// Points `module`'s imports of the five database calls and of the class
// installer's two restart calls at the stand-ins; returns false when the
// module imports none of them.
bool InstallComDatabaseStandIn(HMODULE module);

// The "PortName" the device had at its last restart; nullopt when none was
// recorded since the records were last forgotten.
std::optional<std::string> RecordedRestart(const std::string& instanceId);

}  // namespace standin

#endif
