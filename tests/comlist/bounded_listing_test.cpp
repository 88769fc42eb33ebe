// EnumCOMPortsEx: what it writes into an array of stated capacity, the
// count and result it reports, and the code it leaves on each way it can
// fail; it lists exactly what EnumCOMPorts lists, and never writes to
// standard output.
#include <optional>

#include "lister_test_support.h"

namespace comlist_test {
namespace {

constexpr DWORD kEarlierCode = 0x5EED;  // the thread's code before the call
constexpr DWORD kPlatformCode = ERROR_NOT_ENOUGH_MEMORY;

struct BoundedCase {
    const char* what;
    bool ports;  // COM3, COM4 and COM5, or none
    int capacity;
    int buffers;    // behind the array; -1 passes a null array
    int nullEntry;  // entry set to null, or -1
    bool nullCount;
    const char* failing;  // operation failed on its first call, or null
    int result;
    std::optional<DWORD> code;  // the thread's code afterwards, where it tells
    int count;                  // *count afterwards
    int written;                // names written, from the first buffer
};

const BoundedCase kBoundedCases[] = {
    {"room to spare", true, 4, 4, -1, false, nullptr, 1, std::nullopt, 3, 3},
    {"exactly enough", true, 3, 3, -1, false, nullptr, 1, std::nullopt, 3, 3},
    {"no ports and no array", false, 0, -1, -1, false, nullptr, 1, std::nullopt, 0, 0},
    {"one buffer short", true, 2, 3, -1, false, nullptr, 0, ERROR_INSUFFICIENT_BUFFER, 3, 2},
    {"count only", true, 0, -1, -1, false, nullptr, 0, ERROR_INSUFFICIENT_BUFFER, 3, 0},
    {"capacity 0 with an array", true, 0, 1, -1, false, nullptr, 0, ERROR_INSUFFICIENT_BUFFER, 3,
     0},
    {"negative capacity", true, -1, 1, -1, false, nullptr, 0, ERROR_INVALID_PARAMETER, -7, 0},
    {"null array", true, 1, -1, -1, false, nullptr, 0, ERROR_INVALID_PARAMETER, -7, 0},
    {"null entry within the capacity", true, 3, 3, 2, false, nullptr, 0, ERROR_INVALID_PARAMETER,
     -7, 0},
    {"null entry past the capacity", true, 2, 3, 2, false, nullptr, 0, ERROR_INSUFFICIENT_BUFFER, 3,
     2},
    {"null count", true, 3, 3, -1, true, nullptr, 0, ERROR_INVALID_PARAMETER, -7, 0},
    {"no device list", true, 3, 3, -1, false, "SetupDiGetClassDevsW", 0, kPlatformCode, 0, 0},
};

TEST_F(ListerTest, BoundedListingReportsThroughResultCountAndCode) {
    const std::vector<std::u16string> present = {U16("COM3"), U16("COM4"), U16("COM5")};
    for (const BoundedCase& c : kBoundedCases) {
        SCOPED_TRACE(c.what);
        simwin::Reset();
        if (c.ports) {
            AddPort("USB\\A\\1", "COM3");
            AddUnnamedPort("USB\\B\\1");
            AddPort("USB\\C\\1", "COM4");
            AddPort("USB\\D\\1", "COM5");
        }
        if (c.failing) simwin::FailAt(c.failing, 1, kPlatformCode);
        NameBuffers buffers(c.buffers < 0 ? 0 : c.buffers);
        if (c.nullEntry >= 0) buffers.pointers()[c.nullEntry] = nullptr;
        int count = -7;

        SetLastError(kEarlierCode);
        ::testing::internal::CaptureStdout();
        const int result = EnumCOMPortsEx(c.buffers < 0 ? nullptr : buffers.array(), c.capacity,
                                          c.nullCount ? nullptr : &count);
        const DWORD code = GetLastError();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

        EXPECT_EQ(result, c.result);
        if (c.code) {
            EXPECT_EQ(code, *c.code);
        }
        EXPECT_EQ(count, c.count);
        for (int i = 0; i < c.buffers; ++i) {
            if (i < c.written) {
                EXPECT_EQ(buffers.Name(i), present.at(i)) << "entry " << i;
            } else if (i != c.nullEntry) {
                EXPECT_TRUE(buffers.Untouched(i)) << "entry " << i;
            }
        }
        // Bad arguments are turned away before the device tree is read.
        if (c.code == DWORD(ERROR_INVALID_PARAMETER)) {
            EXPECT_EQ(simwin::Calls("SetupDiGetClassDevsW"), 0);
        }
        EXPECT_TRUE(simwin::GetOutstanding().Empty());
    }
}

// Any single platform failure leaves both calls with the same names; the
// bounded call fails exactly when EnumCOMPorts reports the device list, and
// then with the platform's code.
TEST_F(ListerTest, BoundedListingListsWhatEnumComPortsListsUnderAnySingleFault) {
    const auto build = [] {
        simwin::Reset();
        AddPort("USB\\A\\1", "COM3");
        AddPort("USB\\B\\1", simwin::Utf16z("COM12"), REG_SZ, 2);
        AddUnnamedPort("USB\\C\\1");
        AddPort("USB\\D\\1", "COM4");
    };
    build();
    NameBuffers clean(5);
    List(clean);
    std::vector<std::pair<std::string, int>> plan;
    for (const std::string& op : simwin::CalledOperations())
        plan.emplace_back(op, simwin::Calls(op));
    ASSERT_FALSE(plan.empty());

    for (const auto& [op, calls] : plan) {
        for (int k = 1; k <= calls; ++k) {
            SCOPED_TRACE(op + " #" + std::to_string(k));
            build();
            simwin::FailAt(op, k, kPlatformCode);
            NameBuffers plain(5);
            ::testing::internal::CaptureStdout();
            const Listing expected = List(plain);
            const bool reported = !::testing::internal::GetCapturedStdout().empty();

            build();
            simwin::FailAt(op, k, kPlatformCode);
            NameBuffers bounded(5);
            int count = -7;
            ::testing::internal::CaptureStdout();
            const int result = EnumCOMPortsEx(bounded.array(), 5, &count);
            const DWORD code = GetLastError();
            EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

            EXPECT_EQ(result, reported ? 0 : 1);
            if (reported) {
                EXPECT_EQ(code, kPlatformCode);
            }
            ASSERT_EQ(count, expected.count);
            for (int i = 0; i < count; ++i) EXPECT_EQ(bounded.Name(i), expected.names[i]);
            EXPECT_TRUE(simwin::GetOutstanding().Empty())
                << simwin::Describe(simwin::GetOutstanding());
        }
    }
}

}  // namespace
}  // namespace comlist_test
