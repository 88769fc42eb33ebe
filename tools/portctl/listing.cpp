#include "listing.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "interface_modes.h"
#include "port_enumeration.h"
#include "port_names.h"
#include "portopt.h"
#include "system_api.h"

namespace portctl {

namespace {

// Records offered to the all-ports call at first; enough for every COM
// number, so a second call is needed only if a later library lists more.
constexpr std::size_t kFirstCapacity = PO_MAX_PORT - PO_MIN_PORT + 1;

bool Resolved(const PoPortInfo& info) { return info.family != PO_FAMILY_UNRESOLVED; }

Adapter AdapterOf(const PoPortInfo& info) {
    Adapter adapter;
    adapter.id = info.adapterId;
    if (info.bus == PO_BUS_USB) adapter.bus = "USB";
    if (info.bus == PO_BUS_PCI) adapter.bus = "PCI";
    adapter.vendor = info.vendorId;
    adapter.product = info.productId;
    adapter.tovelser = info.family == PO_FAMILY_TOVELSER;
    return adapter;
}

Setting SettingOf(const PoOption& option) {
    if (!option.available) return {Setting::State::kNotHad, 0};
    return {option.stored ? Setting::State::kValue : Setting::State::kNotStored, option.value};
}

// The answers for the options in the order of Options().
std::array<Setting, 4> SettingsOf(const PoPortInfo& info) {
    return {SettingOf(info.interfaceMode), SettingOf(info.fastFlush), SettingOf(info.txMode),
            SettingOf(info.uartFifo)};
}

PoPortInfo EmptyRecord() {
    PoPortInfo info{};
    info.size = sizeof info;
    return info;
}

// Every present port's record, from one call of the library.
std::vector<PoPortInfo> ReadAllPortInfo() {
    std::vector<PoPortInfo> records(kFirstCapacity, EmptyRecord());
    for (;;) {
        int count = 0;
        if (PoGetAllPortInfo(records.data(), static_cast<int>(records.size()), &count)) {
            records.resize(static_cast<std::size_t>(count));
            return records;
        }
        const unsigned long error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER ||
            static_cast<std::size_t>(count) <= records.size()) {
            throw ListingFailed(
                "the ports cannot be listed: the library could not read the "
                "device tree (error " +
                std::to_string(error) + ")");
        }
        records.assign(static_cast<std::size_t>(count), EmptyRecord());
    }
}

// The record of COM `number`: the listing's, or, for a number no present
// ports-class device carries (a name only the lister gives), the library's
// answer for that one port.
PoPortInfo RecordOf(int number, const std::vector<PoPortInfo>& records) {
    for (const PoPortInfo& info : records) {
        if (info.port == number) return info;
    }
    PoPortInfo info = EmptyRecord();
    if (!PoGetPortInfo(number, &info)) {
        throw ListingFailed("COM" + std::to_string(number) + " cannot be read (error " +
                            std::to_string(GetLastError()) + ")");
    }
    return info;
}

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof(text), "%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string Family(const Adapter& adapter) { return adapter.tovelser ? "tovelser" : "KARBEND"; }

std::vector<std::string> TableCells(const PortRow& row) {
    std::vector<std::string> cells{row.name};
    if (row.adapter) {
        cells.push_back(AdapterLabel(*row.adapter));
        cells.push_back(Family(*row.adapter));
    } else {
        cells.insert(cells.end(), {"-", "-"});
    }
    cells.push_back(row.position ? std::to_string(*row.position) : "-");
    for (std::size_t i = 0; i < Options().size(); ++i) {
        cells.push_back(row.settings ? FormatSetting(Options()[i], (*row.settings)[i]) : "-");
    }
    return cells;
}

}  // namespace

std::string AdapterLabel(const Adapter& adapter) {
    return adapter.bus.value_or("none") + " " + Hex4(adapter.vendor) + ":" + Hex4(adapter.product);
}

std::vector<std::string> PortNames(const std::vector<std::string>& listed,
                                   const std::vector<PoPortInfo>& records) {
    std::vector<std::string> names;
    std::set<int> numbers;
    std::set<std::string> others;
    for (const std::string& name : listed) {
        const std::optional<int> number = ComNumberOf(name);
        const bool first = number ? numbers.insert(*number).second : others.insert(name).second;
        if (first) names.push_back(name);
    }
    for (const PoPortInfo& info : records) {
        if (numbers.insert(info.port).second) names.push_back(ComName(info.port));
    }
    return names;
}

bool Addressable(const PortRow& row) {
    return row.number && *row.number >= PO_MIN_PORT && *row.number <= PO_MAX_PORT;
}

PortRow MakeRow(const std::string& name, const std::vector<PoPortInfo>& records) {
    PortRow row;
    row.name = name;
    row.number = ComNumberOf(name);
    if (!Addressable(row)) return row;
    const PoPortInfo info = RecordOf(*row.number, records);
    if (Resolved(info)) {
        row.adapter = AdapterOf(info);
        if (info.position > 0) row.position = info.position;
    }
    row.settings = SettingsOf(info);
    // A library that does not fill the modes leaves them 0.
    if (info.interfaceModes != 0) row.modes = info.interfaceModes;
    return row;
}

std::vector<PortRow> ReadListing() {
    const std::vector<PoPortInfo> records = ReadAllPortInfo();
    const std::vector<std::string> names = PortNames(EnumeratePortNames(), records);
    std::vector<PortRow> rows;
    for (std::size_t index : NaturalOrder(names)) rows.push_back(MakeRow(names[index], records));
    return rows;
}

Json RowJson(const PortRow& row) {
    Json json;
    json["port"] = row.name;
    json["number"] = row.number ? Json(*row.number) : Json(nullptr);
    if (row.adapter) {
        json["adapter"] = Json{{"id", row.adapter->id},
                               {"bus", row.adapter->bus ? Json(*row.adapter->bus) : Json(nullptr)},
                               {"vendor", row.adapter->vendor},
                               {"product", row.adapter->product},
                               {"family", Family(*row.adapter)}};
    } else {
        json["adapter"] = nullptr;
    }
    json["position"] = row.position ? Json(*row.position) : Json(nullptr);
    for (std::size_t i = 0; i < Options().size(); ++i) {
        json[Options()[i].name] =
            row.settings ? SettingJson(Options()[i], (*row.settings)[i]) : Json(nullptr);
    }
    json["interfaceModes"] = row.modes ? Json(ModesOf(*row.modes)) : Json(nullptr);
    return json;
}

std::string RenderTable(const std::vector<PortRow>& rows) {
    std::vector<std::vector<std::string>> lines{
        {"PORT", "ADAPTER", "FAMILY", "POS", "INTERFACE", "FASTFLUSH", "TXMODE", "FIFO"}};
    for (const PortRow& row : rows) lines.push_back(TableCells(row));

    std::vector<std::size_t> widths(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    std::string text;
    for (const auto& line : lines) {
        std::string out;
        for (std::size_t i = 0; i < line.size(); ++i) {
            out += line[i];
            if (i + 1 < line.size()) out += std::string(widths[i] - line[i].size() + 2, ' ');
        }
        text += out + "\n";
    }
    return text;
}

}  // namespace portctl
