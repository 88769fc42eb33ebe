// The registry calls.  They return their error code and leave the
// last-error code alone.  Strings are stored as UTF-16LE; the A calls
// convert string types on the way in and out.
#include <cstring>

#include "registry_access.h"
#include "text.h"

namespace simwin::detail {

KeyHandle ResolveKey(Machine& m, HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return {m.registry, KEY_ALL_ACCESS};
    auto it = m.keys.find(HandleValue(key));
    return it == m.keys.end() ? KeyHandle{} : it->second;
}

LSTATUS OpenKeyHandle(Machine& m, const std::shared_ptr<RegKey>& base, const char* subKey,
                      REGSAM access, HKEY* result) {
    auto key = FindKey(base, subKey ? subKey : "");
    if (!key) return ERROR_FILE_NOT_FOUND;
    const REGSAM asked = access & ~REGSAM(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    // The rights to change a key: administrators' alone below HKLM.
    constexpr REGSAM kChangeRights = KEY_ALL_ACCESS & ~REGSAM(KEY_READ);
    if (!m.elevated && (asked & kChangeRights) != 0) return ERROR_ACCESS_DENIED;
    auto restriction = m.restrictions.find(Lower(key->path));
    if (restriction != m.restrictions.end() && (asked & ~restriction->second) != 0)
        return ERROR_ACCESS_DENIED;
    std::uintptr_t handle = NewHandleValue();
    m.keys.emplace(handle, KeyHandle{key, asked});
    *result = AsHandle<HKEY>(handle);
    return ERROR_SUCCESS;
}

namespace {

// The usable key behind a handle for a value operation needing `right`.
LSTATUS KeyForValues(Machine& m, HKEY hKey, REGSAM right, std::shared_ptr<RegKey>& key) {
    KeyHandle h = ResolveKey(m, hKey);
    if (!h.key) return ERROR_INVALID_HANDLE;
    if (h.key->deleted) return ERROR_KEY_DELETED;
    if ((h.access & right) != right) return ERROR_ACCESS_DENIED;
    key = h.key;
    return ERROR_SUCCESS;
}

// Hands `data` out the way RegQueryValueEx does: the size alone without a
// buffer, ERROR_MORE_DATA (and scribbled buffer contents) when it is short.
LSTATUS HandOut(const Bytes& data, LPBYTE lpData, LPDWORD lpcbData) {
    const DWORD size = static_cast<DWORD>(data.size());
    if (!lpcbData) return ERROR_SUCCESS;
    if (lpData && *lpcbData < size) {
        std::memset(lpData, 0xCD, *lpcbData);
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size) std::memcpy(lpData, data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS QueryValue(const char* operation, HKEY hKey, const std::string& name, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData, bool narrowStrings) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, operation)) return static_cast<LSTATUS>(fault);
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = KeyForValues(*m, hKey, KEY_QUERY_VALUE, key)) return status;
    auto it = key->values.find(name);
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegValue& value = it->second;
    if (lpType) *lpType = value.type;
    if (narrowStrings && IsStringType(value.type))
        return HandOut(Narrow(value.data.data(), value.data.size()), lpData, lpcbData);
    return HandOut(value.data, lpData, lpcbData);
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
    auto m = Access();
    if (phkResult) *phkResult = nullptr;  // also when the open fails
    if (DWORD fault = CountCall(*m, "RegOpenKeyExA")) return static_cast<LSTATUS>(fault);
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    (void)ulOptions;
    KeyHandle base = ResolveKey(*m, hKey);
    if (!base.key) return ERROR_INVALID_HANDLE;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    if (lpSubKey && lpSubKey[0] == '\\') return ERROR_BAD_PATHNAME;
    return OpenKeyHandle(*m, base.key, lpSubKey, samDesired, phkResult);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    return QueryValue("RegQueryValueExA", hKey, lpValueName ? lpValueName : "", lpReserved, lpType,
                      lpData, lpcbData, true);
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    return QueryValue("RegQueryValueExW", hKey, NarrowName(lpValueName), lpReserved, lpType, lpData,
                      lpcbData, false);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    PauseBeforeCall("RegSetValueExA");
    auto m = Access();
    if (DWORD fault = CountCall(*m, "RegSetValueExA")) return static_cast<LSTATUS>(fault);
    (void)Reserved;
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = KeyForValues(*m, hKey, KEY_SET_VALUE, key)) return status;
    if (!lpData && cbData != 0) return ERROR_NOACCESS;
    simwin::Bytes data =
        IsStringType(dwType) ? Widen(lpData, cbData) : simwin::Bytes(lpData, lpData + cbData);
    key->values[lpValueName ? lpValueName : ""] = simwin::RegValue{dwType, std::move(data)};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "RegDeleteValueA")) return static_cast<LSTATUS>(fault);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = KeyForValues(*m, hKey, KEY_SET_VALUE, key)) return status;
    return key->values.erase(lpValueName ? lpValueName : "") ? ERROR_SUCCESS
                                                             : ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    auto m = Access();
    DWORD fault = CountCall(*m, "RegCloseKey");
    if (hKey != HKEY_LOCAL_MACHINE && m->keys.erase(HandleValue(hKey)) == 0)
        return ERROR_INVALID_HANDLE;
    return static_cast<LSTATUS>(fault);
}
}
