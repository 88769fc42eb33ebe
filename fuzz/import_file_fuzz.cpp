// The profile engine's reader on arbitrary bytes, planned against the
// ports of the demo machine by COM number and by position: a document it refuses ends in an
// InputError naming the place (as the tool reports bad input), never in any other exception or a
// crash, and every step it plans asks one present port for a value within its option's range (or,
// for a check by COM number, the COM number of a port that is not here); with the ports' numbers,
// each port and each wanted number once.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "backup.h"
#include "fuzz_check.h"
#include "input_error.h"
#include "listing.h"
#include "simwin/machine_file.h"

namespace {

const std::vector<portctl::PortRow>& DemoRows() {
    static const std::vector<portctl::PortRow> rows = [] {
        char error[256];
        FUZZ_CHECK(simwin_load_demo_machine(error, sizeof error) == 0);
        return portctl::ReadListing();
    }();
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& rows = DemoRows();
    portctl::Json document;
    try {
        document = portctl::Json::parse(data, data + size);
    } catch (const portctl::Json::exception&) {
        return 0;  // the tool reports it as malformed JSON
    }
    using portctl::MatchBy;
    using portctl::MissingPort;
    const std::pair<MatchBy, MissingPort> plans[] = {{MatchBy::kNumber, MissingPort::kRefused},
                                                     {MatchBy::kNumber, MissingPort::kKept},
                                                     {MatchBy::kPosition, MissingPort::kRefused}};
    for (const auto& [match, missing] : plans) {
        try {
            for (const portctl::ImportStep& step :
                 portctl::PlanImport(document, rows, match, missing)) {
                FUZZ_CHECK(step.number >= 1 && step.number <= 256);
                FUZZ_CHECK(step.option && step.value >= 0 && step.value <= step.option->max);
                const bool here =
                    std::any_of(rows.begin(), rows.end(), [&](const portctl::PortRow& row) {
                        return portctl::Addressable(row) && *row.number == step.number;
                    });
                FUZZ_CHECK(here == step.present);
                FUZZ_CHECK(step.present || missing == MissingPort::kKept);
            }
        } catch (const portctl::InputError&) {
        }
    }
    // With the ports' numbers: each matched port once, each wanted number
    // once, and every one a number the calls take.
    try {
        std::vector<portctl::NumberStep> numbers;
        portctl::PlanImport(document, rows, MatchBy::kPosition, MissingPort::kRefused, &numbers);
        std::vector<int> from, to;
        for (const portctl::NumberStep& step : numbers) {
            FUZZ_CHECK(step.row && *step.row->number == step.from);
            FUZZ_CHECK(step.to >= 1 && step.to <= 256);
            from.push_back(step.from);
            to.push_back(step.to);
        }
        for (auto* numbersOf : {&from, &to}) {
            std::sort(numbersOf->begin(), numbersOf->end());
            FUZZ_CHECK(std::adjacent_find(numbersOf->begin(), numbersOf->end()) ==
                       numbersOf->end());
        }
    } catch (const portctl::InputError&) {
    }
    return 0;
}
