// The single-fault sweep over all the exported calls, in both store
// layouts.  A clean run of each call records which platform operations it
// makes and how often; then every one of those calls is failed in turn, on
// a fresh machine.  After each faulted run nothing may be left open, a
// call that failed must have left the store as it was, the store and the
// adapter must agree (the driver last accepted the value stored), and the
// result must be one the call documents: for a change 1, or 0 with the
// store unchanged; for a query its stored answer or its "not stored"
// answer; for the listing a gap-free, in-order subset of the names; for the
// port-information calls a record whose option holds one of its query's
// answers, or a failure that fills nothing; and the two information calls,
// each run under the fault on a fresh machine, give equal records of COM 7
// wherever both give one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "change_rig.h"
#include "comlist.h"
#include "portopt.h"

namespace change_test {
namespace {

enum class Kind { kQuery, kChange, kListing, kPortInfo, kAllPortInfo };

struct SweepCase {
    const char* label;
    Kind kind;
    int (*query)(int);
    int (*change)(int, int);
    std::string adapter;
    const char* name;         // the stored setting the call reads or writes
    int argument;             // a change's value
    std::uint8_t old;         // stored before the call
    std::uint8_t stored;      // what a successful change stores (and sends)
    bool valueFirst;          // the request's record layout
    int answer;               // what the query answers on a clean run
    std::vector<int> others;  // what else it may answer
};

SweepCase Query(const char* label, int (*call)(int), const std::string& adapter, const char* name,
                std::uint8_t old, int answer, std::vector<int> others = {-1}) {
    return {label, Kind::kQuery, call, nullptr, adapter, name,
            0,     old,          old,  false,   answer,  std::move(others)};
}

SweepCase Change(const char* label, int (*call)(int, int), const std::string& adapter,
                 const char* name, int argument, std::uint8_t old, std::uint8_t stored,
                 bool valueFirst = false) {
    return {label,    Kind::kChange, nullptr, call,       adapter, name,
            argument, old,           stored,  valueFirst, 0,       {}};
}

const SweepCase kCases[] = {
    Query("PoGetInterface", PoGetInterface, kPlainAdapter, "InterfaceMode", 2, 1),
    Query("PoGetInterfaceTovelser", PoGetInterface, kTovelserAdapter, "SerInterface", 2, 2),
    Query("PoGetFastFlush", PoGetFastFlush, kPlainAdapter, "FastFlush", 1, 1),
    Query("PoGetTxMode", PoGetTxMode, kPlainAdapter, "TxMode", 1, 1),
    // An adapter whose product cannot be looked up is not of the tovelser
    // family, and its stored value is read.
    Query("PoGetTxModeTovelser", PoGetTxMode, kTovelserAdapter, "TxMode", 1, 0, {1, -1}),
    Query("PoGetUARTFIFO", PoGetUARTFIFO, kPlainAdapter, "DisableFiFo", 0, 1, {0}),
    Change("PoSetInterface", PoSetInterface, kPlainAdapter, "InterfaceMode", 1, 3, 2),
    Change("PoSetInterfaceTovelser", PoSetInterface, kTovelserAdapter, "SerInterface", 1, 3, 1,
           true),
    Change("PoSetFastFlush", PoSetFastFlush, kPlainAdapter, "FastFlush", 1, 0, 1),
    Change("PoSetTxMode", PoSetTxMode, kPlainAdapter, "TxMode", 0, 1, 0),
    Change("PoSetUARTFIFO", PoSetUARTFIFO, kPlainAdapter, "DisableFiFo", 1, 1, 0),
    {"EnumCOMPorts",
     Kind::kListing,
     nullptr,
     nullptr,
     kPlainAdapter,
     "TxMode",
     0,
     1,
     1,
     false,
     0,
     {}},
    // The transmit mode in the record, as PoGetTxMode answers it.
    {"PoGetPortInfo",
     Kind::kPortInfo,
     nullptr,
     nullptr,
     kPlainAdapter,
     "TxMode",
     0,
     1,
     1,
     false,
     1,
     {-1}},
    {"PoGetAllPortInfo",
     Kind::kAllPortInfo,
     nullptr,
     nullptr,
     kPlainAdapter,
     "TxMode",
     0,
     1,
     1,
     false,
     1,
     {-1}},
};

constexpr int kCom = 7;
// The listing's machine: COM7 on the adapter, and a second device with two
// COM-port interfaces.
const std::vector<std::u16string> kListed = {u"COM7", u"COM9", u"COM9"};

std::atomic<long> faultPointsTried{0};

struct Machine {
    std::string port;
    std::string path;
};

Machine Build(const SweepCase& c, Layout layout) {
    simwin::Reset();
    AddAdapter(c.adapter, layout);
    Machine m{AddPort(c.adapter, "Serial Adapter Port 2 (COM7)"), AdapterPath(c.adapter)};
    StoreSetting(layout, c.adapter, kCom, m.port, c.name, c.old);
    if (c.kind == Kind::kListing) {
        simwin::AddInterface(m.port, simwin::kComPortInterface, "\\\\?\\com#7");
        simwin::SetValue(simwin::HardwareKeyPath(m.port), "PortName", REG_SZ,
                         simwin::Utf16z("COM7"));
        simwin::AddDevice("ACPI\\PNP0501\\1");
        simwin::AddInterface("ACPI\\PNP0501\\1", simwin::kComPortInterface, "\\\\?\\com#9a");
        simwin::AddInterface("ACPI\\PNP0501\\1", simwin::kComPortInterface, "\\\\?\\com#9b");
        simwin::SetValue(simwin::HardwareKeyPath("ACPI\\PNP0501\\1"), "PortName", REG_SZ,
                         simwin::Utf16z("COM9"));
    }
    return m;
}

// Names 0 .. count-1 of one listing; entries past the count must be
// untouched.
std::vector<std::u16string> List() {
    constexpr comlist_char kUntouched = 0xCCCC;
    std::vector<std::vector<comlist_char>> buffers(
        kListed.size() + 1, std::vector<comlist_char>(COMLIST_NAME_UNITS, kUntouched));
    std::vector<comlist_char*> names;
    for (auto& b : buffers) names.push_back(b.data());
    int count = -1;
    EXPECT_EQ(EnumCOMPorts(names.data(), &count), 0);
    EXPECT_GE(count, 0);
    std::vector<std::u16string> listed;
    for (int i = 0; i < count && i < int(buffers.size()); ++i)
        listed.emplace_back(buffers[i].data());
    for (std::size_t i = std::max(count, 0); i < buffers.size(); ++i)
        EXPECT_EQ(buffers[i][0], kUntouched) << "entry " << i << " past the count";
    return listed;
}

bool IsInOrderSubset(const std::vector<std::u16string>& part,
                     const std::vector<std::u16string>& whole) {
    std::size_t at = 0;
    for (const auto& name : part) {
        while (at < whole.size() && whole[at] != name) ++at;
        if (at++ == whole.size()) return false;
    }
    return true;
}

bool IsAnswer(const SweepCase& c, int answer) {
    return answer == c.answer || std::count(c.others.begin(), c.others.end(), answer);
}

// A record of COM 7 the call filled, or one it left alone; the canary
// tells them apart.
void CheckRecord(const SweepCase& c, const PoPortInfo& record) {
    EXPECT_EQ(record.port, kCom);
    EXPECT_TRUE(IsAnswer(c, record.txMode.value)) << "transmit mode " << record.txMode.value;
}

constexpr int kCanary = -0x3333;

PoPortInfo FreshRecord() {
    PoPortInfo record{};
    record.size = sizeof record;
    record.port = kCanary;
    return record;
}

// COM 7's record from the one-port or the all-ports call on a fresh
// machine, with `op`'s k-th call failing; nullopt when it gave none.
std::optional<PoPortInfo> RecordUnderFault(const SweepCase& c, Layout layout, Kind kind,
                                           const std::string& op, int k) {
    Build(c, layout);
    simwin::FailAt(op, k);
    PoPortInfo record = FreshRecord();
    int count = 0;
    const int result = kind == Kind::kPortInfo ? PoGetPortInfo(kCom, &record)
                                               : PoGetAllPortInfo(&record, 1, &count);
    simwin::ClearFaults();
    if (result != 1 || record.port != kCom) return std::nullopt;
    return record;
}

// Both information calls under one fault: the same record, where both give
// one (without the ports list, the all-ports call gives none).  The
// all-ports call builds no list after the ports list (it looks its adapters
// up in the ports list), so a later list's failure reaches only the other.
void ExpectSameRecords(const SweepCase& c, Layout layout, const std::string& op, int k) {
    if (op == "SetupDiGetClassDevsA" && k > 1) return;
    const auto one = RecordUnderFault(c, layout, Kind::kPortInfo, op, k);
    const auto all = RecordUnderFault(c, layout, Kind::kAllPortInfo, op, k);
    if (!one || !all) return;
    EXPECT_EQ(std::memcmp(&*one, &*all, sizeof(PoPortInfo)), 0)
        << "product " << one->productId << " and " << all->productId << ", transmit mode "
        << one->txMode.value << " and " << all->txMode.value;
}

// Runs the call once and checks its result; returns what a change call
// returned (1 or 0), and 0 for the other calls.
int RunAndCheckResult(const SweepCase& c) {
    switch (c.kind) {
        case Kind::kPortInfo: {
            PoPortInfo record = FreshRecord();
            const int result = PoGetPortInfo(kCom, &record);
            EXPECT_TRUE(result == 1 ? (CheckRecord(c, record), true) : record.port == kCanary)
                << "returned " << result;
            return 0;
        }
        case Kind::kAllPortInfo: {
            PoPortInfo records[2] = {FreshRecord(), FreshRecord()};
            int count = -1;
            const int result = PoGetAllPortInfo(records, 2, &count);
            // Without its name COM 7 is not listed; without the list, nothing.
            EXPECT_TRUE(count == 0 || (result == 1 && count == 1)) << "count " << count;
            if (count == 1) {
                CheckRecord(c, records[0]);
            } else {
                EXPECT_EQ(records[0].port, kCanary);
            }
            EXPECT_EQ(records[1].port, kCanary);
            return 0;
        }
        case Kind::kQuery: {
            const int answer = c.query(kCom);
            EXPECT_TRUE(IsAnswer(c, answer)) << "answered " << answer;
            return 0;
        }
        case Kind::kChange: {
            const int result = c.change(kCom, c.argument);
            EXPECT_TRUE(result == 0 || result == 1) << "returned " << result;
            return result;
        }
        case Kind::kListing: {
            const auto listed = List();
            EXPECT_TRUE(IsInOrderSubset(listed, kListed)) << listed.size() << " names";
            return 0;
        }
    }
    return 0;
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<SweepCase, Layout>> {};

TEST_P(FaultSweep, NoCrashNothingOpenStoreAndAdapterAgreeAfterAnySingleFault) {
    const auto& [c, layout] = GetParam();
    Build(c, layout);
    if (c.kind == Kind::kListing) {
        ASSERT_EQ(List(), kListed) << "clean run";
    } else if (c.kind == Kind::kQuery) {
        ASSERT_EQ(c.query(kCom), c.answer) << "clean run";
    } else if (c.kind == Kind::kChange) {
        ASSERT_EQ(c.change(kCom, c.argument), 1) << "clean run";
    } else {
        PoPortInfo record = FreshRecord();
        int count = 1;
        ASSERT_EQ(c.kind == Kind::kPortInfo ? PoGetPortInfo(kCom, &record)
                                            : PoGetAllPortInfo(&record, 1, &count),
                  1)
            << "clean run";
        ASSERT_EQ(count, 1);
        ASSERT_EQ(record.txMode.value, c.answer) << "clean run";
    }
    std::vector<std::pair<std::string, int>> plan;
    for (const std::string& op : simwin::CalledOperations())
        plan.emplace_back(op, simwin::Calls(op));

    int tried = 0;
    for (const auto& [op, calls] : plan) {
        for (int k = 1; k <= calls; ++k, ++tried) {
            SCOPED_TRACE(op + " #" + std::to_string(k));
            const Machine m = Build(c, layout);
            simwin::FailAt(op, k);
            const int result = RunAndCheckResult(c);
            simwin::ClearFaults();

            const simwin::Outstanding left = simwin::GetOutstanding();
            EXPECT_TRUE(left.Empty()) << simwin::Describe(left);

            const auto stored = StoredSetting(layout, c.adapter, kCom, m.port, c.name);
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(*stored, result == 1 ? c.stored : c.old) << "call returned " << result;

            const auto accepted = simwin::AcceptedRequests(m.path);
            if (c.kind != Kind::kChange) {
                EXPECT_TRUE(accepted.empty()) << "a query or the listing sent a request";
                if (c.kind == Kind::kPortInfo || c.kind == Kind::kAllPortInfo) {
                    ExpectSameRecords(c, layout, op, k);
                }
                continue;
            }
            const int adapterValue =
                accepted.empty()
                    ? c.old
                    : (c.valueFirst ? ValueFirst(accepted.back()) : ChannelFirst(accepted.back()))
                          .value;
            EXPECT_EQ(adapterValue, static_cast<int>(*stored));
        }
    }
    faultPointsTried += tried;
    std::cout << "[ sweep    ] " << c.label << " " << LayoutName(layout) << ": " << tried
              << " fault points over " << plan.size() << " operations\n";
}

INSTANTIATE_TEST_SUITE_P(AllExportedCalls, FaultSweep,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(Layout::kSharedTable,
                                                              Layout::kPerPort)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    LayoutName(std::get<1>(info.param));
                         });

// The total, when more than one sweep ran in this process.
class SweepTotal : public ::testing::Environment {
public:
    void TearDown() override {
        if (faultPointsTried > 0)
            std::cout << "[ sweep    ] " << faultPointsTried << " fault points tried in all\n";
    }
};
const auto* const kSweepTotal = ::testing::AddGlobalTestEnvironment(new SweepTotal);

}  // namespace
}  // namespace change_test
