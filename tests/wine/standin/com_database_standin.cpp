#include "com_database_standin.h"

#include <setupapi.h>
#include <cfgmgr32.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "import_patch.h"

namespace standin {

namespace {

typedef HANDLE HCOMDB;

constexpr char kArbiterKey[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr char kDatabaseValue[] = "ComDB";
constexpr char kRestartsKey[] = "SOFTWARE\\PortoptTests\\DeviceNodes\\Restarts";
constexpr DWORD kMinimumBytes = 256 / 8;
constexpr DWORD kMaximumNumber = 4096;
constexpr LONG kCannotWrite = 1013;  // ERROR_CANTWRITE

// The one database handle the stand-in hands out, open or not.
HCOMDB const kDatabase = reinterpret_cast<HCOMDB>(static_cast<ULONG_PTR>(0xC0DB));
LONG openDatabases = 0;

bool Known(HCOMDB database) { return database == kDatabase && openDatabases > 0; }

std::vector<BYTE> Bitmap() {
    std::vector<BYTE> bits(kMaximumNumber / 8, 0);
    DWORD size = static_cast<DWORD>(bits.size());
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kArbiterKey, kDatabaseValue, RRF_RT_REG_BINARY, nullptr,
                     bits.data(), &size) != ERROR_SUCCESS) {
        size = 0;
    }
    bits.resize(std::max(size, kMinimumBytes), 0);
    return bits;
}

bool Store(const std::vector<BYTE>& bits) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kArbiterKey, kDatabaseValue, REG_BINARY,
                           bits.data(), static_cast<DWORD>(bits.size())) == ERROR_SUCCESS;
}

bool InUse(const std::vector<BYTE>& bits, DWORD n) {
    return (n - 1) / 8 < bits.size() && (bits[(n - 1) / 8] >> ((n - 1) % 8)) & 1;
}

LONG WINAPI ComDBOpen(HCOMDB* database) {
    if (!database) return ERROR_INVALID_PARAMETER;
    ++openDatabases;
    *database = kDatabase;
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClose(HCOMDB database) {
    if (!Known(database)) return ERROR_INVALID_PARAMETER;
    --openDatabases;
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClaimPort(HCOMDB database, DWORD number, BOOL force, PBOOL forced) {
    if (!Known(database) || number < 1 || number > kMaximumNumber) return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> bits = Bitmap();
    const bool taken = InUse(bits, number);
    if (forced) *forced = taken && force;
    if (taken && !force) return ERROR_SHARING_VIOLATION;
    if ((number - 1) / 8 >= bits.size()) bits.resize(((number - 1) / 8 / kMinimumBytes + 1) * kMinimumBytes, 0);
    bits[(number - 1) / 8] |= BYTE(1u << ((number - 1) % 8));
    return Store(bits) ? ERROR_SUCCESS : kCannotWrite;
}

LONG WINAPI ComDBReleasePort(HCOMDB database, DWORD number) {
    std::vector<BYTE> bits = Bitmap();
    if (!Known(database) || number < 1 || number > bits.size() * 8) return ERROR_INVALID_PARAMETER;
    bits[(number - 1) / 8] &= BYTE(~(1u << ((number - 1) % 8)));
    return Store(bits) ? ERROR_SUCCESS : kCannotWrite;
}

LONG WINAPI ComDBGetCurrentPortUsage(HCOMDB database, PBYTE buffer, DWORD bufferSize,
                                     ULONG reportType, LPDWORD maxPortsReported) {
    if (!Known(database) || (!buffer && !maxPortsReported)) return ERROR_INVALID_PARAMETER;
    const std::vector<BYTE> bits = Bitmap();
    if (!buffer) {
        *maxPortsReported = static_cast<DWORD>(bits.size() * 8);
        return ERROR_SUCCESS;
    }
    if (reportType != 0) return ERROR_INVALID_PARAMETER;  // only the bit report is used
    const DWORD bytes = std::min(bufferSize, static_cast<DWORD>(bits.size()));
    CopyMemory(buffer, bits.data(), bytes);
    if (maxPortsReported) *maxPortsReported = bytes * 8;
    return ERROR_SUCCESS;
}

// The property change asked for, by list and node.
SRWLOCK changesLock = SRWLOCK_INIT;
std::map<std::pair<HDEVINFO, DWORD>, DWORD> stateChanges;

BOOL WINAPI SetClassInstallParams(HDEVINFO list, PSP_DEVINFO_DATA device,
                                  PSP_CLASSINSTALL_HEADER params, DWORD size) {
    if (!device || !params || params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) ||
        params->InstallFunction != DIF_PROPERTYCHANGE || size != sizeof(SP_PROPCHANGE_PARAMS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    AcquireSRWLockExclusive(&changesLock);
    stateChanges[{list, device->DevInst}] =
        reinterpret_cast<PSP_PROPCHANGE_PARAMS>(params)->StateChange;
    ReleaseSRWLockExclusive(&changesLock);
    return TRUE;
}

std::string PortNameOf(HDEVINFO list, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return "";
    char name[64] = {};
    DWORD size = sizeof(name) - 1;
    RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return name;
}

BOOL WINAPI CallClassInstaller(DI_FUNCTION function, HDEVINFO list, PSP_DEVINFO_DATA device) {
    AcquireSRWLockExclusive(&changesLock);
    const auto found = device ? stateChanges.find({list, device->DevInst}) : stateChanges.end();
    const bool restart = function == DIF_PROPERTYCHANGE && found != stateChanges.end() &&
                         found->second == DICS_PROPCHANGE;
    ReleaseSRWLockExclusive(&changesLock);
    if (!restart) {
        SetLastError(ERROR_DI_DO_DEFAULT);
        return FALSE;
    }
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdA(list, device, id, sizeof(id) - 1, nullptr)) return FALSE;
    const std::string portName = PortNameOf(list, *device);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRestartsKey, id, REG_SZ, portName.c_str(),
                    static_cast<DWORD>(portName.size() + 1));
    return TRUE;
}

}  // namespace

bool InstallComDatabaseStandIn(HMODULE module) {
    const std::pair<const char*, const void*> calls[] = {
        {"ComDBOpen", reinterpret_cast<const void*>(&ComDBOpen)},
        {"ComDBClose", reinterpret_cast<const void*>(&ComDBClose)},
        {"ComDBClaimPort", reinterpret_cast<const void*>(&ComDBClaimPort)},
        {"ComDBReleasePort", reinterpret_cast<const void*>(&ComDBReleasePort)},
        {"ComDBGetCurrentPortUsage", reinterpret_cast<const void*>(&ComDBGetCurrentPortUsage)},
        {"SetupDiSetClassInstallParamsA", reinterpret_cast<const void*>(&SetClassInstallParams)},
        {"SetupDiCallClassInstaller", reinterpret_cast<const void*>(&CallClassInstaller)},
    };
    int written = 0;
    for (const auto& [name, replacement] : calls) written += ReplaceImport(module, name, replacement);
    return written > 0;
}

std::optional<std::string> RecordedRestart(const std::string& instanceId) {
    char name[64] = {};
    DWORD size = sizeof(name) - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRestartsKey, instanceId.c_str(), RRF_RT_REG_SZ, nullptr,
                     name, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(name);
}

}  // namespace standin
