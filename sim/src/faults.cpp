// Call counters, injected faults and the report of what is held open.
#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "machine_state.h"

namespace simwin::detail {
namespace {

DWORD DefaultError(const std::string& operation) {
    if (operation.rfind("CM_", 0) == 0) return CR_FAILURE;
    if (operation == "LocalAlloc") return ERROR_NOT_ENOUGH_MEMORY;
    // The COM port database's "could not access the database".
    if (operation.rfind("ComDB", 0) == 0) return ERROR_NOT_CONNECTED;
    return ERROR_GEN_FAILURE;
}

}  // namespace

DWORD CountCall(Machine& m, const char* operation) {
    int& count = m.calls[operation];
    if (count++ == 0) m.callOrder.push_back(operation);
    auto hit = std::find_if(m.faults.begin(), m.faults.end(), [&](const Fault& f) {
        return f.operation == operation && f.atCall == count;
    });
    if (hit == m.faults.end()) return 0;
    DWORD error = hit->error ? hit->error : DefaultError(hit->operation);
    m.faults.erase(hit);
    return error;
}

void PauseBeforeCall(const char* operation) {
    int microseconds = 0;
    {
        auto m = Access();
        auto it = m->pauses.find(operation);
        if (it == m->pauses.end()) return;
        microseconds = it->second;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

}  // namespace simwin::detail

namespace simwin {

void ShortenWaits(DWORD longestMilliseconds) {
    detail::Access()->longestWait = longestMilliseconds;
}

void PauseBefore(const std::string& operation, int microseconds) {
    detail::Access()->pauses[operation] = microseconds;
}

void FailAt(const std::string& operation, int k, DWORD error) {
    if (k < 1) throw std::invalid_argument("simwin: FailAt needs k >= 1");
    auto m = detail::Access();
    m->faults.push_back({operation, m->calls[operation] + k, error});
}

void ClearFaults() { detail::Access()->faults.clear(); }

}  // namespace simwin

// FailAt for tests in other languages (machine_file.h).
extern "C" SIMWIN_API int simwin_fail_at(const char* operation, int k, unsigned error) {
    if (!operation || k < 1) return -1;
    simwin::FailAt(operation, k, error);
    return 0;
}

namespace simwin {

int Calls(const std::string& operation) {
    auto m = detail::Access();
    auto it = m->calls.find(operation);
    return it == m->calls.end() ? 0 : it->second;
}

std::vector<std::string> CalledOperations() { return detail::Access()->callOrder; }

std::vector<BuiltList> BuiltLists() { return detail::Access()->builtLists; }

Outstanding GetOutstanding() {
    auto m = detail::Access();
    Outstanding o;
    o.lists = static_cast<int>(m->lists.size());
    o.keys = static_cast<int>(m->keys.size());
    o.handles = static_cast<int>(m->files.size() + m->mutexes.size() + m->tokens.size() +
                                     m->comDatabases.size());
    o.allocations = static_cast<int>(m->allocations.size());
    return o;
}

std::string Describe(const Outstanding& o) {
    if (o.Empty()) return "nothing outstanding";
    std::string text;
    auto add = [&](int n, const char* what) {
        if (n == 0) return;
        if (!text.empty()) text += ", ";
        text += std::to_string(n) + " " + what;
    };
    add(o.lists, "device list(s)");
    add(o.keys, "registry key(s)");
    add(o.handles, "handle(s)");
    add(o.allocations, "LocalAlloc block(s)");
    return text + " not released";
}

}  // namespace simwin
