#include "listing.h"

#include <algorithm>
#include <cstdio>

#include "port_enumeration.h"
#include "port_names.h"

namespace portctl {

namespace {

constexpr int kMinComNumber = 1;
constexpr int kMaxComNumber = 256;

// Product IDs -1 and 0 mean that the port did not resolve.
bool Resolved(const portopt::PortAnswers& answers) { return answers.productId > 0; }

Adapter AdapterOf(const portopt::PortAnswers& answers) {
    Adapter adapter;
    adapter.id = answers.adapterId;
    adapter.bus = adapter.id.rfind("PCI\\", 0) == 0 ? "PCI" : "USB";
    adapter.vendor = static_cast<int>(answers.identity >> 16);
    adapter.product = answers.productId;
    adapter.tovelser = answers.tovelser;
    return adapter;
}

Setting Stored(int value) {
    if (value == -1) return {Setting::State::kNotStored, value};
    return {Setting::State::kValue, value};
}

// The answers for the options in the order of Options().
std::array<Setting, 4> SettingsOf(const portopt::PortAnswers& answers) {
    const Setting notHad{Setting::State::kNotHad, 0};
    if (answers.tovelser) return {Stored(answers.interfaceMode), notHad, notHad, notHad};
    const Setting fifo{answers.fifoStored ? Setting::State::kValue : Setting::State::kNotStored,
                       answers.uartFifo};
    return {Stored(answers.interfaceMode), Stored(answers.fastFlush), Stored(answers.txMode),
            fifo};
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
        cells.push_back(row.adapter->bus + " " + Hex4(row.adapter->vendor) + ":" +
                        Hex4(row.adapter->product));
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

bool Addressable(const PortRow& row) {
    return row.number && *row.number >= kMinComNumber && *row.number <= kMaxComNumber;
}

PortRow MakeRow(const std::string& name, const portopt::PortSnapshot& snapshot) {
    PortRow row;
    row.name = name;
    row.number = ComNumberOf(name);
    if (!Addressable(row)) return row;
    const portopt::PortAnswers& answers = snapshot.Answers(*row.number);
    if (Resolved(answers)) {
        row.adapter = AdapterOf(answers);
        if (answers.channel >= 0) row.position = answers.channel + 1;
    }
    row.settings = SettingsOf(answers);
    return row;
}

std::vector<PortRow> ReadListing() {
    const std::vector<std::string> names = EnumeratePortNames();
    const portopt::PortSnapshot snapshot = portopt::PortSnapshot::Read();
    std::vector<PortRow> rows;
    for (std::size_t index : NaturalOrder(names)) rows.push_back(MakeRow(names[index], snapshot));
    return rows;
}

Json RowJson(const PortRow& row) {
    Json json;
    json["port"] = row.name;
    json["number"] = row.number ? Json(*row.number) : Json(nullptr);
    if (row.adapter) {
        json["adapter"] = Json{{"id", row.adapter->id},
                               {"bus", row.adapter->bus},
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
    return json;
}

std::string RenderTable(const std::vector<PortRow>& rows) {
    std::vector<std::vector<std::string>> lines{
        {"PORT", "ADAPTER", "FAMILY", "POS", "INTERFACE", "FASTFLUSH", "TXMODE", "FIFO"}};
    for (const PortRow& row : rows) lines.push_back(TableCells(row));

    std::vector<std::size_t> widths(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
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
