// Built together with portctl's own sources into portctl_standin.exe, a test
// program for Wine: before portctl's main runs, this gives the portopt.dll
// it loaded (which makes every configuration-manager call; the tool makes
// none) the configuration-manager stand-in, so that ports resolve to their
// adapters and `set` and `import` reach the test adapter driver.  The
// shipped portctl.exe is built without it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "config_manager_standin.h"

namespace {

struct StandInInstaller {
    StandInInstaller() {
        if (!standin::InstallConfigManagerStandIn(GetModuleHandleA("portopt.dll"))) {
            std::fputs("portctl_standin: the configuration-manager stand-in did not install\n",
                       stderr);
            std::exit(3);
        }
    }
};

const StandInInstaller installer;

}  // namespace
