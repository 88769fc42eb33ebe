#include "device_restart.h"

namespace platform {

namespace {

RestartOutcome Failed() {
    const DWORD error = GetLastError();
    return {false, false, error != 0 ? error : static_cast<DWORD>(ERROR_GEN_FAILURE)};
}

}  // namespace

RestartOutcome RestartDevice(HDEVINFO list, SP_DEVINFO_DATA& device) {
    SP_PROPCHANGE_PARAMS change{};
    change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = DICS_PROPCHANGE;
    change.Scope = DICS_FLAG_GLOBAL;
    change.HwProfile = 0;
    if (!SetupDiSetClassInstallParamsA(list, &device, &change.ClassInstallHeader,
                                       sizeof(change))) {
        return Failed();
    }
    if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &device)) return Failed();

    // A device that cannot be restarted now is left to the next start of
    // the machine, which its install parameters then say.
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof(params);
    const bool read = SetupDiGetDeviceInstallParamsA(list, &device, &params) != FALSE;
    return {true, read && (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0, 0};
}

}  // namespace platform
