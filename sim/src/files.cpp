// Device paths: opening them with Windows' sharing rules, device control
// requests to the simulated drivers, closing handles, and the test API that
// configures the drivers and reads their request logs.
#include <cstring>

#include "machine_state.h"
#include "text.h"
#include "win32_result.h"

namespace simwin::detail {
namespace {

// A device path is there while a present device exposes it.
const std::string* ExposedPath(Machine& m, const std::string& path) {
    for (const Device& d : m.devices)
        for (const DeviceInterface& i : d.interfaces)
            if (d.present && SameName(i.devicePath, path)) return &i.devicePath;
    return nullptr;
}

bool Reads(DWORD access) { return access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA); }
bool Writes(DWORD access) {
    return access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
}

// Whether a new open conflicts with one already held: either side asks for
// an access the other does not share.
bool Conflicts(const FileHandle& held, const FileHandle& wanted) {
    auto denies = [](const FileHandle& a, const FileHandle& b) {
        return (b.reads && !(a.shareMode & FILE_SHARE_READ)) ||
               (b.writes && !(a.shareMode & FILE_SHARE_WRITE));
    };
    return denies(held, wanted) || denies(wanted, held);
}

bool SharingViolation(Machine& m, const FileHandle& wanted) {
    for (const auto& [value, held] : m.files)
        if (held.devicePath == wanted.devicePath && Conflicts(held, wanted)) return true;
    return false;
}

// Passes a request to the driver; returns 0 when it accepts, else its error.
DWORD Deliver(Driver& driver, Request request) {
    driver.requests.push_back(request);
    if (driver.rejectError != 0 && driver.acceptBeforeRejecting-- <= 0) return driver.rejectError;
    driver.accepted.push_back(std::move(request));
    return 0;
}

std::vector<Request> Log(const std::string& devicePath, bool acceptedOnly) {
    auto m = Access();
    auto it = m->drivers.find(Lower(devicePath));
    if (it == m->drivers.end()) return {};
    return acceptedOnly ? it->second.accepted : it->second.requests;
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD, HANDLE) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "CreateFileA")) return FailHandle(fault);
    if (!lpFileName || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > 5)
        return FailHandle(ERROR_INVALID_PARAMETER);
    const std::string* path = ExposedPath(*m, lpFileName);
    if (!path) return FailHandle(ERROR_FILE_NOT_FOUND);
    const std::string key = Lower(*path);
    Driver& driver = m->drivers[key];
    if (driver.openError) return FailHandle(*driver.openError);
    if (dwCreationDisposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
    FileHandle wanted{key, Reads(dwDesiredAccess), Writes(dwDesiredAccess), dwShareMode};
    if (SharingViolation(*m, wanted)) return FailHandle(ERROR_SHARING_VIOLATION);
    // A successful open sets the code: "already exists" where the
    // disposition could have created the file, else 0.
    const bool mayCreate =
        dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS;
    SetLastError(mayCreate ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    std::uintptr_t handle = NewHandleValue();
    m->files.emplace(handle, wanted);
    return AsHandle<HANDLE>(handle);
}

// A call that Windows would let fault (no bytes-returned counter on a
// synchronous call, a null buffer with a size) fails with an error here.
BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "DeviceIoControl")) return FailWith(fault);
    auto file = m->files.find(HandleValue(hDevice));
    if (file == m->files.end()) return FailWith(ERROR_INVALID_HANDLE);
    if (!lpBytesReturned && !lpOverlapped) return FailWith(ERROR_INVALID_PARAMETER);
    if ((!lpInBuffer && nInBufferSize) || (!lpOutBuffer && nOutBufferSize))
        return FailWith(ERROR_NOACCESS);
    const auto* in = static_cast<const std::uint8_t*>(lpInBuffer);
    simwin::Request request{dwIoControlCode, simwin::Bytes(in, in + nInBufferSize)};
    if (DWORD error = Deliver(m->drivers[file->second.devicePath], std::move(request)))
        return FailWith(error);
    if (lpBytesReturned) *lpBytesReturned = 0;
    if (lpOverlapped) lpOverlapped->Internal = lpOverlapped->InternalHigh = 0;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    auto m = Access();
    DWORD fault = CountCall(*m, "CloseHandle");
    const std::uintptr_t value = HandleValue(hObject);
    // INVALID_HANDLE_VALUE is the current process's pseudo-handle: closing
    // it does nothing and succeeds.
    const bool pseudo = hObject == INVALID_HANDLE_VALUE;
    if (!pseudo && m->files.erase(value) == 0 && m->mutexes.erase(value) == 0 &&
        m->tokens.erase(value) == 0)
        return FailWith(ERROR_INVALID_HANDLE);
    if (fault) return FailWith(fault);
    return TRUE;
}
}

namespace simwin {

void SetUnopenable(const std::string& devicePath, DWORD error) {
    auto m = detail::Access();
    m->drivers[detail::Lower(devicePath)].openError = error;
}

void RejectRequests(const std::string& devicePath, DWORD error, int afterAccepted) {
    auto m = detail::Access();
    detail::Driver& driver = m->drivers[detail::Lower(devicePath)];
    driver.rejectError = error;
    driver.acceptBeforeRejecting = afterAccepted;
}

std::vector<Request> Requests(const std::string& devicePath) {
    return detail::Log(devicePath, false);
}

std::vector<Request> AcceptedRequests(const std::string& devicePath) {
    return detail::Log(devicePath, true);
}

}  // namespace simwin
