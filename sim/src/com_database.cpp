// The COM port database of msports.dll, as Microsoft documents it: a bitmap
// in the REG_BINARY value "ComDB" of the key kComNameArbiterKey, one bit
// per COM number (bit n-1 for COMn), at least COMDB_MIN_PORTS_ARBITRATED
// numbers long.  The calls return their
// status and do not set the last-error code.  Opening the database needs
// the rights to change HKEY_LOCAL_MACHINE: a caller that is not elevated
// gets ERROR_ACCESS_DENIED.
#include <algorithm>
#include <cstring>

#include "machine_state.h"
#include "registry_tree.h"

namespace simwin::detail {
namespace {

constexpr std::size_t kMinBytes = COMDB_MIN_PORTS_ARBITRATED / 8;

// The bitmap as stored, at least kMinBytes long (a missing value is an
// empty database).
Bytes Bitmap(Machine& m) {
    Bytes bits;
    if (auto key = FindKey(m.registry, kComNameArbiterKey)) {
        auto it = key->values.find(kComDbValue);
        if (it != key->values.end()) bits = it->second.data;
    }
    if (bits.size() < kMinBytes) bits.resize(kMinBytes, 0);
    return bits;
}

void StoreBitmap(Machine& m, const Bytes& bits) {
    CreateKeyPath(m.registry, kComNameArbiterKey)->values[kComDbValue] = {REG_BINARY, bits};
}

bool Known(Machine& m, HCOMDB handle) {
    return m.comDatabases.count(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

bool InUse(const Bytes& bits, DWORD number) {
    const std::size_t index = number - 1;
    return index / 8 < bits.size() && (bits[index / 8] >> (index % 8)) & 1;
}

void Mark(Bytes& bits, DWORD number, bool inUse) {
    const std::size_t index = number - 1;
    if (index / 8 >= bits.size()) bits.resize((index / 8 / kMinBytes + 1) * kMinBytes, 0);
    const auto bit = static_cast<std::uint8_t>(1u << (index % 8));
    bits[index / 8] = inUse ? (bits[index / 8] | bit) : (bits[index / 8] & ~bit);
}

}  // namespace
}  // namespace simwin::detail

using namespace simwin::detail;
using simwin::Bytes;

namespace simwin {

std::vector<int> ComDbNumbers() {
    auto m = Access();
    const Bytes bits = Bitmap(*m);
    std::vector<int> numbers;
    for (DWORD n = 1; n <= bits.size() * 8; ++n) {
        if (InUse(bits, n)) numbers.push_back(static_cast<int>(n));
    }
    return numbers;
}

void SetComDbNumbers(const std::vector<int>& numbers) {
    auto m = Access();
    Bytes bits(kMinBytes, 0);
    for (int n : numbers) Mark(bits, static_cast<DWORD>(n), true);
    StoreBitmap(*m, bits);
}

}  // namespace simwin

extern "C" {

LONG WINAPI ComDBOpen(PHCOMDB PHComDB) {
    auto m = Access();
    if (PHComDB) *PHComDB = HCOMDB_INVALID_HANDLE_VALUE;
    if (DWORD fault = CountCall(*m, "ComDBOpen")) return static_cast<LONG>(fault);
    if (!PHComDB) return ERROR_INVALID_PARAMETER;
    if (!m->elevated) return ERROR_ACCESS_DENIED;
    const std::uintptr_t handle = NewHandleValue();
    m->comDatabases.insert(handle);
    *PHComDB = reinterpret_cast<HCOMDB>(handle);
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClose(HCOMDB HComDB) {
    auto m = Access();
    const DWORD fault = CountCall(*m, "ComDBClose");
    // Like the other release calls, a faulted close still closes.
    if (m->comDatabases.erase(reinterpret_cast<std::uintptr_t>(HComDB)) == 0)
        return ERROR_INVALID_PARAMETER;
    return static_cast<LONG>(fault);
}

LONG WINAPI ComDBClaimPort(HCOMDB HComDB, DWORD ComNumber, BOOL ForceClaim, PBOOL Forced) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "ComDBClaimPort")) return static_cast<LONG>(fault);
    if (!Known(*m, HComDB) || ComNumber < 1 || ComNumber > COMDB_MAX_PORTS_ARBITRATED)
        return ERROR_INVALID_PARAMETER;
    Bytes bits = Bitmap(*m);
    const bool taken = InUse(bits, ComNumber);
    if (Forced) *Forced = taken && ForceClaim ? TRUE : FALSE;
    if (taken && !ForceClaim) return ERROR_SHARING_VIOLATION;
    Mark(bits, ComNumber, true);
    StoreBitmap(*m, bits);
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBReleasePort(HCOMDB HComDB, DWORD ComNumber) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "ComDBReleasePort")) return static_cast<LONG>(fault);
    Bytes bits = Bitmap(*m);
    // A number past the database's size is not in it.
    if (!Known(*m, HComDB) || ComNumber < 1 || ComNumber > bits.size() * 8)
        return ERROR_INVALID_PARAMETER;
    Mark(bits, ComNumber, false);
    StoreBitmap(*m, bits);
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBGetCurrentPortUsage(HCOMDB HComDB, PBYTE Buffer, DWORD BufferSize,
                                     ULONG ReportType, LPDWORD MaxPortsReported) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "ComDBGetCurrentPortUsage")) return static_cast<LONG>(fault);
    if (!Known(*m, HComDB) || (!Buffer && !MaxPortsReported)) return ERROR_INVALID_PARAMETER;
    const Bytes bits = Bitmap(*m);
    const DWORD size = static_cast<DWORD>(bits.size() * 8);
    if (!Buffer) {  // the database's size, whatever the report type
        *MaxPortsReported = size;
        return ERROR_SUCCESS;
    }
    if (ReportType == CDB_REPORT_BITS) {
        const DWORD bytes = std::min<DWORD>(BufferSize, static_cast<DWORD>(bits.size()));
        std::memcpy(Buffer, bits.data(), bytes);
        if (MaxPortsReported) *MaxPortsReported = bytes * 8;
        return ERROR_SUCCESS;
    }
    if (ReportType != CDB_REPORT_BYTES) return ERROR_INVALID_PARAMETER;
    const DWORD count = std::min(BufferSize, size);
    for (DWORD n = 1; n <= count; ++n) Buffer[n - 1] = InUse(bits, n) ? 1 : 0;
    if (MaxPortsReported) *MaxPortsReported = count;
    return ERROR_SUCCESS;
}

}  // extern "C"
