// Built together with portctl's own sources into portctl_standin.exe, a test
// program for Wine: before portctl's main runs, this gives the portopt.dll
// it loaded (which makes every configuration-manager, COM port database and
// class-installer call; the tool and the profile engine make none) the
// stand-ins, so that ports resolve to their adapters, `set` and `import`
// reach the test adapter driver, and ports can be renumbered.  The shipped
// portctl.exe is built without them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "com_database_standin.h"
#include "config_manager_standin.h"

namespace {

struct StandInInstaller {
    StandInInstaller() {
        const HMODULE portopt = GetModuleHandleA("portopt.dll");
        if (!standin::InstallConfigManagerStandIn(portopt) ||
            !standin::InstallComDatabaseStandIn(portopt)) {
            std::fputs("portctl_standin: the stand-ins did not install\n", stderr);
            std::exit(3);
        }
    }
};

const StandInInstaller installer;

}  // namespace
