#include "device_records.h"

#include <windows.h>

#include <stdexcept>

namespace standin {

namespace {

const char kRecordsKey[] = "SOFTWARE\\PortoptTests\\DeviceNodes";
const char kParents[] = "SOFTWARE\\PortoptTests\\DeviceNodes\\Parents";
const char kStatus[] = "SOFTWARE\\PortoptTests\\DeviceNodes\\Status";

void Store(const char* key, const std::string& name, DWORD type, const void* data, DWORD size) {
    const LONG status = RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name.c_str(), type, data, size);
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("recording " + name + " under HKLM\\" + key + " failed, error " +
                                 std::to_string(status));
    }
}

}  // namespace

void RecordParent(const std::string& instanceId, const std::string& parentId) {
    Store(kParents, instanceId, REG_SZ, parentId.c_str(), DWORD(parentId.size() + 1));
}

void RecordStatus(const std::string& instanceId, unsigned long statusFlags) {
    const DWORD flags = statusFlags;
    Store(kStatus, instanceId, REG_DWORD, &flags, sizeof(flags));
}

std::optional<std::string> RecordedParent(const std::string& instanceId) {
    char parent[MAX_PATH] = {};
    DWORD size = sizeof(parent) - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kParents, instanceId.c_str(), RRF_RT_REG_SZ, nullptr,
                     parent, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(parent);
}

std::optional<unsigned long> RecordedStatus(const std::string& instanceId) {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kStatus, instanceId.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &flags, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return flags;
}

void ForgetRecords() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRecordsKey); }

}  // namespace standin
