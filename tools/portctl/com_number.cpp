#include "com_number.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <type_traits>

#include "port_names.h"
#include "portopt.h"
#include "system_api.h"

namespace portctl {

namespace {

// Where the database keeps its bitmap (bit n-1 for COMn).
constexpr const char* kArbiterKey = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr const char* kDatabaseValue = "ComDB";
// The largest database Windows keeps: 4096 numbers.
constexpr DWORD kLargestDatabase = 4096 / 8;

std::string RenumberRefusal(DWORD error, int newNumber) {
    switch (error) {
        case PO_ERROR_NUMBER_IN_USE:
            return ComName(newNumber) +
                   " is in use: another present port carries it, or the COM port database "
                   "holds it (a number a removed device left: --force takes it)";
        case ERROR_ACCESS_DENIED:
            return "administrator rights are needed (run portctl from an elevated prompt)";
        case ERROR_INVALID_PARAMETER:
            return "the number must be 1 to 256, and the port's name must stay within 260 "
                   "characters";
        case ERROR_FILE_NOT_FOUND:
            return "no present port carries that number";
        case ERROR_REGISTRY_IO_FAILED:
            return "the port's names or stored options could not be read or written; nothing "
                   "was changed";
        default:
            return "the COM port database or the device refused (error " + std::to_string(error) +
                   "); nothing was changed";
    }
}

struct CloseKey {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

bool SamePort(const PortRow& a, const PortRow& b) {
    if (!a.adapter || !b.adapter) return !a.adapter && !b.adapter;
    return a.adapter->id == b.adapter->id && a.position == b.position;
}

}  // namespace

NumberOutcome ApplyNumber(const PortRow& row, int newNumber, bool force) {
    NumberOutcome outcome;
    SetLastError(ERROR_SUCCESS);
    if (!PoSetComNumberEx(*row.number, newNumber, force ? PO_NUMBER_FORCE : 0)) {
        outcome.reason = RenumberRefusal(GetLastError(), newNumber);
        return outcome;
    }
    outcome.needsReboot = GetLastError() == ERROR_SUCCESS_REBOOT_REQUIRED;
    for (const PortRow& listed : ReadListing()) {
        if (Addressable(listed) && *listed.number == newNumber && SamePort(listed, row)) {
            outcome.done = true;
            return outcome;
        }
    }
    outcome.reason = "the change was accepted but the port is not listed as " + ComName(newNumber);
    return outcome;
}

std::optional<std::vector<int>> ReadDatabaseNumbers() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kArbiterKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const Key key(opened);
    std::vector<std::uint8_t> bits(kLargestDatabase, 0);
    DWORD type = 0;
    DWORD size = kLargestDatabase;
    const LSTATUS status =
        RegQueryValueExA(key.get(), kDatabaseValue, nullptr, &type, bits.data(), &size);
    if (status != ERROR_SUCCESS || type != REG_BINARY) return std::nullopt;
    std::vector<int> numbers;
    for (DWORD index = 0; index < std::min(size, kLargestDatabase) * 8; ++index) {
        if ((bits[index / 8] >> (index % 8)) & 1) numbers.push_back(static_cast<int>(index + 1));
    }
    return numbers;
}

std::string DatabaseNotes(const std::vector<PortRow>& rows, const std::vector<int>& held,
                          const std::optional<int>& only) {
    std::set<int> carried;
    for (const PortRow& row : rows) {
        if (row.number) carried.insert(*row.number);
    }
    auto has = [](const auto& numbers, int n) {
        return std::find(numbers.begin(), numbers.end(), n) != numbers.end();
    };
    std::string notes;
    for (int n : held) {
        if ((!only || *only == n) && !has(carried, n)) {
            notes += ComName(n) +
                     ": held in the COM port database, but no present port carries it\n";
        }
    }
    for (int n : carried) {
        if ((!only || *only == n) && !has(held, n)) {
            notes += ComName(n) + ": carried by a present port, but not held in the COM port "
                                  "database\n";
        }
    }
    return notes;
}

}  // namespace portctl
