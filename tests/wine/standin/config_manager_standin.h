// A test-side stand-in for the two configuration-manager calls that Wine 8
// only stubs: CM_Get_Parent (always fails there) and CM_Get_DevNode_Status
// (writes nothing there).  The stand-ins answer from what the Wine fixture
// recorded (device_records.h) and resolve a parent's node through Wine's
// own SetupAPI, so every other call stays Wine's.  Installed into a loaded
// module by replacing its imports; the product itself has no hook.
#ifndef TESTS_WINE_STANDIN_CONFIG_MANAGER_STANDIN_H
#define TESTS_WINE_STANDIN_CONFIG_MANAGER_STANDIN_H

#include <windows.h>
#include <cfgmgr32.h>

namespace standin {

// The stand-ins themselves.
CONFIGRET WINAPI GetParent(PDEVINST parent, DEVINST node, ULONG flags);
CONFIGRET WINAPI GetDevNodeStatus(PULONG status, PULONG problem, DEVINST node, ULONG flags);

// Points `module`'s imports of both calls at the stand-ins; returns false
// when the module imports neither.
bool InstallConfigManagerStandIn(HMODULE module);

// Drops the nodes handed out so far (the fixture calls it when it removes
// its devices); later calls resolve parents afresh.
void ForgetParentNodes();

}  // namespace standin

#endif
