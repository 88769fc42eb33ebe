// Out of memory at each allocation in turn: a call that runs out may fail,
// but a change is stored only where the driver's switch says, and a query
// answers only what that place holds (or "not stored").  Allocations are
// made to fail through this test binary's own operator new, armed for the
// calling thread only, and only those the library makes: the simulated
// Windows keeps allocating, as Windows would.
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <new>

#include "change_rig.h"
#include "portopt.h"

namespace {

thread_local long failingAllocation = 0;  // 0: none fails
thread_local long allocations = 0;

// Whether the simulated Windows is among the callers.
bool InSimulator() {
    static const void* const simulator = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&SetupDiDestroyDeviceInfoList), &info);
        return info.dli_fbase;
    }();
    void* frames[64];
    const int depth = backtrace(frames, 64);
    for (int i = 0; i < depth; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) && info.dli_fbase == simulator) return true;
    }
    return false;
}

}  // namespace

void* operator new(std::size_t size) {
    if (failingAllocation != 0 && !InSimulator() && ++allocations == failingAllocation) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// The blocks come from malloc, whatever the compiler assumes of delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace change_test {
namespace {

// COM 7 in shared-table mode, whose port's hardware key also holds a
// per-port value that the driver does not read in this mode.
class AllocationSweep : public MachineTest {
protected:
    void Build() {
        simwin::Reset();
        AddAdapter(kPlainAdapter, Layout::kSharedTable);
        port_ = AddPort(kPlainAdapter, "Serial Adapter Port 2 (COM7)");
        StoreSetting(Layout::kSharedTable, kPlainAdapter, 7, port_, "TxMode", 0);
        StoreSetting(Layout::kPerPort, kPlainAdapter, 7, port_, "TxMode", 1);
    }
    std::optional<std::uint32_t> Table() {
        return StoredSetting(Layout::kSharedTable, kPlainAdapter, 7, port_, "TxMode");
    }
    std::optional<std::uint32_t> PerPort() {
        return StoredSetting(Layout::kPerPort, kPlainAdapter, 7, port_, "TxMode");
    }

    // Runs `call` with allocation `n` failing; false once the call made
    // fewer allocations than that.
    template <typename Call>
    static bool FailingAllocation(long n, Call call) {
        InSimulator();  // loads what the stack walk needs before it counts
        allocations = 0;
        failingAllocation = n;
        call();
        failingAllocation = 0;
        return allocations >= n;
    }

    std::string port_;
};

TEST_F(AllocationSweep, ExhaustionNeverMovesAChangeOrAnAnswerToTheOtherLayout) {
    long sweptChange = 0, sweptQuery = 0;
    for (long n = 1;; ++n, ++sweptChange) {
        Build();
        int result = -1;
        if (!FailingAllocation(n, [&] { result = PoSetTxMode(7, 1); })) break;
        SCOPED_TRACE("change, allocation " + std::to_string(n));
        EXPECT_EQ(Table(), result == 1 ? 1u : 0u);
        EXPECT_EQ(PerPort(), 1u) << "the per-port value is not the driver's in this mode";
    }
    for (long n = 1;; ++n, ++sweptQuery) {
        Build();
        int answer = 0;
        if (!FailingAllocation(n, [&] { answer = PoGetTxMode(7); })) break;
        EXPECT_NE(answer, 1) << "query, allocation " << n << ": the per-port value";
    }
    EXPECT_GT(sweptChange, 5);
    EXPECT_GT(sweptQuery, 5);
    simwin::Reset();
}

}  // namespace
}  // namespace change_test
