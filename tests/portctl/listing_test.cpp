// portctl's listing from its two sources: every port either gives, each
// once, in natural order, on generated machines where the lister and the
// option calls each see ports the other does not; and how a row shows what
// the library's record says.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "generated_machine.h"
#include "interface_modes.h"
#include "listing.h"
#include "port_enumeration.h"
#include "port_names.h"
#include "portopt.h"

namespace portctl {
namespace {

PoPortInfo Record(int port) {
    PoPortInfo info;
    std::memset(&info, 0, sizeof info);
    info.size = sizeof info;
    info.port = port;
    return info;
}

TEST(Listing, NamesEveryPortOfEitherSourceOnce) {
    const struct {
        std::vector<std::string> listed;
        std::vector<int> records;
        std::vector<std::string> names;
    } cases[] = {
        {{"COM3", "COM7"}, {3, 7}, {"COM3", "COM7"}},
        {{"COM3"}, {3, 10}, {"COM3", "COM10"}},               // the option calls' alone
        {{"COM12", "CNCA0"}, {}, {"COM12", "CNCA0"}},         // the lister's alone
        {{"COM7", "com7", "COM007", "COM7"}, {7}, {"COM7"}},  // one port, many names
        {{"CNCA0", "CNCA0", "COM300"}, {2}, {"CNCA0", "COM300", "COM2"}},
    };
    for (const auto& c : cases) {
        std::vector<PoPortInfo> records;
        for (int port : c.records) records.push_back(Record(port));
        EXPECT_EQ(PortNames(c.listed, records), c.names) << c.names.back();
    }
}

TEST(Listing, RowShowsTheRecordsBusAndModes) {
    const struct {
        int bus;
        int modes;
        const char* json;  // the adapter's "bus"
        const char* cell;  // the table's adapter
    } cases[] = {
        {PO_BUS_USB, PO_MODES_ALL, "\"USB\"", "COM10  USB 1A2B:2031 "},
        {PO_BUS_PCI, PO_MODES_NOT_ZERO, "\"PCI\"", "COM10  PCI 1A2B:2031 "},
        {PO_BUS_NONE, PO_MODES_ZERO_ONLY, "null", "COM10  none 1A2B:2031 "},
    };
    for (const auto& c : cases) {
        PoPortInfo info = Record(10);
        info.bus = c.bus;
        info.family = PO_FAMILY_OTHER;
        info.vendorId = 0x1A2B;
        info.productId = 0x2031;
        info.interfaceModes = c.modes;
        const PortRow row = MakeRow("COM10", {info});
        EXPECT_EQ(RowJson(row)["adapter"]["bus"].dump(), c.json);
        EXPECT_EQ(RowJson(row)["interfaceModes"], Json(ModesOf(c.modes)));
        EXPECT_NE(RenderTable({row}).find(c.cell), std::string::npos) << RenderTable({row});
    }
}

TEST(Listing, OnGeneratedMachinesHoldsEveryPortOfBothSourcesOnce) {
    int onlyListed = 0, onlyRecorded = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("machine " + std::to_string(seed));
        generated::Build(seed);
        std::set<int> want;
        for (const std::string& name : EnumeratePortNames()) {
            if (ComNumberOf(name)) want.insert(*ComNumberOf(name));
        }
        const std::size_t listed = want.size();
        std::vector<PoPortInfo> records(PO_MAX_PORT, Record(0));
        int count = 0;
        ASSERT_EQ(PoGetAllPortInfo(records.data(), PO_MAX_PORT, &count), 1);
        std::set<int> recorded;
        for (int i = 0; i < count; ++i) recorded.insert(records[std::size_t(i)].port);
        want.insert(recorded.begin(), recorded.end());
        onlyRecorded += int(want.size() - listed);
        onlyListed += int(want.size() - recorded.size());

        std::vector<int> got;
        for (const PortRow& row : ReadListing()) got.push_back(*row.number);
        EXPECT_EQ(got, std::vector<int>(want.begin(), want.end()));
    }
    // Both sources must give ports the other does not.
    EXPECT_GT(onlyListed, 20);
    EXPECT_GT(onlyRecorded, 20);
}

}  // namespace
}  // namespace portctl
