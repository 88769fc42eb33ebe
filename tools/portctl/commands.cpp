#include "commands.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "backup.h"
#include "change.h"
#include "input_error.h"
#include "listing.h"
#include "port_names.h"

namespace portctl {

namespace {

constexpr const char* kStandardStream = "-";

// The first listed row of the COM number the user named.
PortRow FindPort(const std::vector<PortRow>& rows, const std::string& argument) {
    const std::optional<int> number = ParsePortArgument(argument);
    if (!number) throw InputError("'" + argument + "' is not a port (give COM7, com7 or 7)");
    for (const PortRow& row : rows) {
        if (Addressable(row) && *row.number == *number) return row;
    }
    throw InputError("unknown port " + ComName(*number) + ": no such port on this machine");
}

const OptionSpec& FindOptionOrThrow(const std::string& name) {
    const OptionSpec* option = FindOption(name);
    if (!option) throw InputError("unknown option '" + name + "' (options: " + OptionNames() + ")");
    return *option;
}

struct Change {
    const OptionSpec* option;
    int value;
};

std::vector<Change> ParseChanges(const std::vector<std::string>& words) {
    if (words.empty() || words.size() % 2 != 0) {
        throw InputError("set needs OPTION VALUE pairs, e.g. 'set COM7 txmode 1'");
    }
    std::vector<Change> changes;
    for (std::size_t i = 0; i < words.size(); i += 2) {
        const OptionSpec& option = FindOptionOrThrow(words[i]);
        const std::optional<int> value = ParseOptionValue(option, words[i + 1]);
        if (!value) {
            throw InputError("bad value '" + words[i + 1] + "' for " + option.name + " (" +
                             option.rangeText + ")");
        }
        changes.push_back({&option, *value});
    }
    return changes;
}

// The refusal's reason, and why the change could not have been taken when
// the port's family does not have the option.
std::string Why(const ChangeOutcome& outcome, const OptionSpec& option, const Setting& listed) {
    if (listed.state != Setting::State::kNotHad) return outcome.reason;
    return outcome.reason + " (the adapter's family has no " + option.name + ")";
}

std::size_t IndexOf(const OptionSpec& option) {
    return static_cast<std::size_t>(&option - Options().data());
}

std::string Arrow(const OptionSpec& option, const Setting& before, const Setting& after) {
    return FormatSetting(option, before) + " -> " + FormatSetting(option, after);
}

std::string Shown(const std::string& file) {
    return file == kStandardStream ? "standard input" : file;
}

std::string ReadInput(const std::string& file) {
    if (file == kStandardStream) {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw InputError(file + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw InputError(file + ": cannot be read");
    return text.str();
}

Json ParseDocument(const std::string& file, const std::string& text) {
    try {
        return Json::parse(text);
    } catch (const Json::exception& e) {
        // A syntax error, or a number too large for any type (out_of_range):
        // both are faults of the file.  nlohmann's message starts with its
        // own tag in brackets.
        std::string what = e.what();
        const std::size_t tag = what.find("] ");
        if (tag != std::string::npos) what = what.substr(tag + 2);
        throw InputError(Shown(file) + ": malformed JSON: " + what);
    }
}

void ReportStep(const ImportStep& step, const std::string& outcome) {
    std::cout << step.port << " " << step.option->name << ": " << outcome << "\n";
}

}  // namespace

int ListPorts(bool json) {
    const std::vector<PortRow> rows = ReadListing();
    if (json) {
        Json array = Json::array();
        for (const PortRow& row : rows) array.push_back(RowJson(row));
        std::cout << array.dump(2) << "\n";
    } else {
        std::cout << RenderTable(rows);
    }
    return 0;
}

int GetPort(const std::string& port, const std::optional<std::string>& option, bool json) {
    const PortRow row = FindPort(ReadListing(), port);
    if (!option) {
        std::cout << (json ? RowJson(row).dump(2) + "\n" : RenderTable({row}));
        return 0;
    }
    const OptionSpec& wanted = FindOptionOrThrow(*option);
    const Setting& setting = (*row.settings)[IndexOf(wanted)];
    std::cout << (json ? SettingJson(wanted, setting).dump() : FormatSetting(wanted, setting)) << "\n";
    return 0;
}

CommandResult SetOptions(const std::string& port, const std::vector<std::string>& words) {
    const PortRow row = FindPort(ReadListing(), port);
    const std::vector<Change> changes = ParseChanges(words);
    const std::string name = ComName(*row.number);

    CommandResult result;
    std::vector<std::string> applied;
    for (const Change& change : changes) {
        result.changeCalled = true;
        const ChangeOutcome outcome = ApplyChange(*row.number, *change.option, change.value);
        const std::string what = name + " " + change.option->name;
        if (outcome.done) {
            std::cout << what << ": " << Arrow(*change.option, outcome.before, outcome.after) << "\n";
            applied.push_back(change.option->name);
            continue;
        }
        const Setting& listed = (*row.settings)[IndexOf(*change.option)];
        std::cerr << "portctl: " << what << " not changed: " << Why(outcome, *change.option, listed)
                  << "\n";
        if (applied.empty()) {
            std::cerr << "portctl: no change was applied before it\n";
        } else {
            std::string list;
            for (const std::string& option : applied) list += (list.empty() ? "" : ", ") + option;
            std::cerr << "portctl: applied before it: " << list << "\n";
        }
        result.status = 1;
        return result;
    }
    return result;
}

int ExportOptions(const std::string& file) {
    const std::string text = ExportDocument(ReadListing()).dump(2) + "\n";
    if (file == kStandardStream) {
        std::cout << text;
        return 0;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) throw InputError(file + ": cannot be written");
    return 0;
}

CommandResult ImportOptions(const std::string& file, bool dryRun) {
    const Json document = ParseDocument(file, ReadInput(file));
    std::vector<ImportStep> steps;
    try {
        steps = PlanImport(document, ReadListing());
    } catch (const InputError& e) {
        throw InputError(Shown(file) + ": " + e.what());
    }

    CommandResult result;
    int refused = 0;
    for (const ImportStep& step : steps) {
        const OptionSpec& option = *step.option;
        const Setting wanted{Setting::State::kValue, step.value};
        if (Unchanged(step)) {
            ReportStep(step, "unchanged (" + FormatSetting(option, step.current) + ")");
        } else if (dryRun) {
            ReportStep(step, "would apply (" + Arrow(option, step.current, wanted) + ")");
        } else {
            result.changeCalled = true;
            const ChangeOutcome outcome = ApplyChange(step.number, option, step.value);
            if (outcome.done) {
                ReportStep(step, "applied (" + Arrow(option, outcome.before, outcome.after) + ")");
            } else {
                ReportStep(step, "refused: " + Why(outcome, option, step.current));
                ++refused;
            }
        }
    }
    if (refused > 0) {
        std::cerr << "portctl: " << refused << " of " << steps.size() << " settings refused\n";
        result.status = 1;
    }
    return result;
}

}  // namespace portctl
