// The port-information calls: what a record holds for each kind of port,
// how the all-ports call fills an array that is too small or of a later
// record size, and the arguments both refuse without touching anything.
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "port_identity.h"
#include "portopt.h"
#include "sim_machine_test.h"

namespace portopt {
namespace {

constexpr unsigned char kCanary = 0xCC;

// Records as a caller sets them up: canary bytes, the size field set.
std::vector<unsigned char> Records(int count, unsigned int size = sizeof(PoPortInfo)) {
    std::vector<unsigned char> bytes(std::size_t(count) * size + 16, kCanary);
    for (int i = 0; i < count; ++i) std::memcpy(&bytes[std::size_t(i) * size], &size, sizeof size);
    return bytes;
}
PoPortInfo* At(std::vector<unsigned char>& bytes, std::size_t offset = 0) {
    return reinterpret_cast<PoPortInfo*>(bytes.data() + offset);
}

class PortInfo : public SimMachineTest {
protected:
    // COM3 and COM4 on a four-port KARBEND adapter (shared tables), COM8 on
    // a tovelser-family adapter, COM20 without an adapter (per-port values).
    void SetUp() override {
        SimMachineTest::SetUp();
        AddAdapter(kKarbendAdapter);
        AddAdapter(kTovelserAdapter);
        AddPort("USB\\PORT\\3", kKarbendAdapter, "Serial Port 1 (COM3)");
        AddPort("USB\\PORT\\4", kKarbendAdapter, "Serial Port 4 (COM4)");
        AddPort("USB\\PORT\\8", kTovelserAdapter, "Serial Port 2 (COM8)");
        AddPort("ROOT\\PORT\\20", "", "Communications Port (COM20)");
        SetSwitch(kKarbendKey, 1);
        simwin::Bytes table(256, 0xFF);
        table[2] = 2;  // COM3: stored "InterfaceMode" 2, the calls' mode 1
        simwin::SetValue(kKarbendKey, "InterfaceMode", REG_BINARY, table);
        simwin::SetValue(kKarbendKey, "DisableFiFo", REG_BINARY, table);
        SetPortValue("USB\\PORT\\8", "SerInterface", simwin::Dword(3));
        SetPortValue("ROOT\\PORT\\20", "TxMode", simwin::Dword(1));
    }
};

TEST_F(PortInfo, RecordsNameTheAdapterAndEachOptionAsTheQueriesAnswer) {
    std::vector<unsigned char> bytes = Records(4);
    int count = -1;
    ASSERT_EQ(PoGetAllPortInfo(At(bytes), 4, &count), 1);
    ASSERT_EQ(count, 4);
    const PoPortInfo* records = At(bytes);

    const PoPortInfo& com3 = records[0];
    EXPECT_EQ(com3.port, 3);
    EXPECT_STREQ(com3.adapterId, kKarbendAdapter);
    EXPECT_EQ(com3.bus, PO_BUS_USB);
    EXPECT_EQ(com3.vendorId, 0x1A2B);
    EXPECT_EQ(com3.productId, 0x2052);
    EXPECT_EQ(com3.family, PO_FAMILY_OTHER);
    EXPECT_EQ(com3.position, 1);
    EXPECT_EQ(com3.interfaceMode.value, 1);
    EXPECT_EQ(com3.fastFlush.stored, 0) << "no table";
    EXPECT_EQ(com3.fastFlush.available, 1);
    EXPECT_EQ(com3.uartFifo.value, 0) << "DisableFiFo 2 is not 0";
    EXPECT_EQ(com3.uartFifo.stored, 1);

    EXPECT_EQ(records[1].port, 4);
    EXPECT_EQ(records[1].position, 4);
    EXPECT_EQ(records[1].uartFifo.stored, 0) << "table byte 0xFF";

    const PoPortInfo& com8 = records[2];
    EXPECT_EQ(com8.family, PO_FAMILY_TOVELSER);
    EXPECT_EQ(com8.interfaceMode.value, 3);
    for (const PoOption* option : {&com8.fastFlush, &com8.txMode, &com8.uartFifo}) {
        EXPECT_EQ(option->available, 0);
        EXPECT_EQ(option->value, 0);
    }

    EXPECT_EQ(com3.interfaceModes, PO_MODES_ALL);
    EXPECT_EQ(com8.interfaceModes, PO_MODES_NOT_ZERO) << "capability 0x30";

    const PoPortInfo& com20 = records[3];
    EXPECT_EQ(com20.interfaceModes, PO_MODES_ALL) << "unresolved: no restriction";
    EXPECT_EQ(com20.family, PO_FAMILY_UNRESOLVED);
    EXPECT_EQ(com20.productId, -1);
    EXPECT_STREQ(com20.adapterId, "");
    EXPECT_EQ(com20.bus, PO_BUS_NONE);
    EXPECT_EQ(com20.position, 0);
    EXPECT_EQ(com20.txMode.stored, 0) << "an unresolved port reads the KARBEND tables";

    // The one-port call gives the same record.
    std::vector<unsigned char> one = Records(1);
    ASSERT_EQ(PoGetPortInfo(8, At(one)), 1);
    EXPECT_EQ(std::memcmp(At(one), &com8, sizeof com8), 0);
}

TEST_F(PortInfo, ArrayTooSmallIsFilledAsFarAsItGoes) {
    std::vector<unsigned char> bytes = Records(2);
    int count = -1;
    SetLastError(kUntouched);
    EXPECT_EQ(PoGetAllPortInfo(At(bytes), 2, &count), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(At(bytes)[1].port, 4);
    EXPECT_EQ(bytes[2 * sizeof(PoPortInfo)], kCanary) << "past the capacity";

    count = -1;
    EXPECT_EQ(PoGetAllPortInfo(nullptr, 0, &count), 0);
    EXPECT_EQ(count, 4) << "a count alone";
}

TEST_F(PortInfo, LaterRecordSizesAreAcceptedAndTheirRestZeroed) {
    constexpr unsigned int kLater = sizeof(PoPortInfo) + 16;
    std::vector<unsigned char> bytes = Records(4, kLater);
    int count = -1;
    ASSERT_EQ(PoGetAllPortInfo(At(bytes), 4, &count), 1);
    const int ports[] = {3, 4, 8, 20};
    for (std::size_t i = 0; i < 4; ++i) {
        const PoPortInfo* record = At(bytes, i * kLater);
        EXPECT_EQ(record->size, kLater);
        EXPECT_EQ(record->port, ports[i]);
        for (std::size_t b = sizeof(PoPortInfo); b < kLater; ++b) {
            EXPECT_EQ(bytes[i * kLater + b], 0) << "record " << i << ", byte " << b;
        }
    }
    EXPECT_EQ(bytes[4 * kLater], kCanary);
}

// Callers built before the modes were added pass the first version's
// size: their records are filled as before, and nothing past them.
TEST_F(PortInfo, FirstVersionRecordsAreFilledAsBeforeAndNotPastTheirEnd) {
    constexpr unsigned int kFirst = PO_PORT_INFO_V1_SIZE;
    std::vector<unsigned char> current = Records(4);
    std::vector<unsigned char> first = Records(4, kFirst);
    int count = -1;
    ASSERT_EQ(PoGetAllPortInfo(At(current), 4, &count), 1);
    ASSERT_EQ(PoGetAllPortInfo(At(first), 4, &count), 1);
    for (std::size_t i = 0; i < 4; ++i) {
        const unsigned char* record = &first[i * kFirst];
        EXPECT_EQ(At(first, i * kFirst)->size, kFirst);
        EXPECT_EQ(std::memcmp(record + 4, &current[i * sizeof(PoPortInfo) + 4], kFirst - 4), 0)
            << "record " << i;
    }
    EXPECT_EQ(first[4 * kFirst], kCanary);

    std::vector<unsigned char> one = Records(1, kFirst);
    ASSERT_EQ(PoGetPortInfo(8, At(one)), 1);
    EXPECT_EQ(std::memcmp(&one[4], &current[2 * sizeof(PoPortInfo) + 4], kFirst - 4), 0);
    for (std::size_t b = kFirst; b < one.size(); ++b) EXPECT_EQ(one[b], kCanary) << "byte " << b;
}

// The capability code of the adapter's product decides the modes, for the
// record and the change call alike.
TEST(InterfaceModes, FollowTheCapabilityCode) {
    const struct {
        int productId;
        int modes;
    } cases[] = {
        {0x2052, PO_MODES_ALL},          {0x1131, PO_MODES_NOT_ZERO},
        {0x2231, PO_MODES_NOT_ZERO},     {0x1110, PO_MODES_ZERO_ONLY},
        {0x2211, PO_MODES_ZERO_ONLY},    {0x2201, PO_MODES_ALL},
        {kNoMatchingPort, PO_MODES_ALL}, {kNoDeviceLists, PO_MODES_ALL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AcceptedInterfaceModes(c.productId), c.modes) << std::hex << c.productId;
    }
}

TEST_F(PortInfo, BadArgumentsAreRefusedAndTouchNothing) {
    struct Case {
        const char* label;
        int (*call)(std::vector<unsigned char>& records, int* count);
        unsigned int size;
    };
    const Case cases[] = {
        {"COM0", [](auto& r, int*) { return PoGetPortInfo(0, At(r)); }, sizeof(PoPortInfo)},
        {"COM257", [](auto& r, int*) { return PoGetPortInfo(257, At(r)); }, sizeof(PoPortInfo)},
        {"null record", [](auto&, int*) { return PoGetPortInfo(3, nullptr); }, sizeof(PoPortInfo)},
        {"short record", [](auto& r, int*) { return PoGetPortInfo(3, At(r)); },
         PO_PORT_INFO_V1_SIZE - 4},
        {"odd size", [](auto& r, int*) { return PoGetPortInfo(3, At(r)); }, sizeof(PoPortInfo) + 2},
        {"huge size", [](auto& r, int*) { return PoGetPortInfo(3, At(r)); }, 0x10004},
        {"null count", [](auto& r, int*) { return PoGetAllPortInfo(At(r), 1, nullptr); },
         sizeof(PoPortInfo)},
        {"negative capacity", [](auto& r, int* n) { return PoGetAllPortInfo(At(r), -1, n); },
         sizeof(PoPortInfo)},
        {"null records", [](auto&, int* n) { return PoGetAllPortInfo(nullptr, 1, n); },
         sizeof(PoPortInfo)},
        {"short records", [](auto& r, int* n) { return PoGetAllPortInfo(At(r), 1, n); }, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<unsigned char> records = Records(1, c.size);
        const std::vector<unsigned char> before = records;
        int count = -7;
        SetLastError(kUntouched);
        EXPECT_EQ(c.call(records, &count), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(records, before);
        EXPECT_EQ(count, -7);
    }
}

// A caller's thread may have a small stack: the all-ports call keeps its
// per-port state on the heap.  Run on a 32 KiB stack with a guard region
// wide enough that overrunning it faults, in a child process.
TEST_F(PortInfo, AllPortsCallRunsOnASmallStack) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto run = [] {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 32 * 1024);
        pthread_attr_setguardsize(&attributes, 256 * 1024);
        pthread_t thread;
        int result = -1;
        const auto call = [](void* out) -> void* {
            PoPortInfo records[4];
            records[0].size = sizeof(PoPortInfo);
            int count = 0;
            *static_cast<int*>(out) = PoGetAllPortInfo(records, 4, &count) + count;
            return nullptr;
        };
        if (pthread_create(&thread, &attributes, call, &result) != 0) std::exit(2);
        pthread_join(thread, nullptr);
        std::exit(result == 5 ? 0 : 1);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
}

TEST_F(PortInfo, ListThatCannotBeBuiltGivesNoRecords) {
    std::vector<unsigned char> bytes = Records(4);
    int count = -1;
    simwin::FailAt("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(PoGetAllPortInfo(At(bytes), 4, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(bytes[sizeof(unsigned int)], kCanary);
}

}  // namespace
}  // namespace portopt
