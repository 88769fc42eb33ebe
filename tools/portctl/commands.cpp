#include "commands.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <utility>

#include "atomic_file.h"
#include "change.h"
#include "com_number.h"
#include "input_error.h"
#include "interface_modes.h"
#include "listing.h"
#include "port_enumeration.h"
#include "port_names.h"
#include "portprofile.h"
#include "system_api.h"

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
    // A number held but unused is what makes "COM12 is in use" puzzling.
    const auto held = ReadDatabaseNumbers();
    const std::string note = held ? DatabaseNotes(rows, *held, *number) : "";
    throw InputError("unknown port " + ComName(*number) + ": no such port on this machine" +
                     (note.empty() ? "" : "\nportctl: " + note.substr(0, note.size() - 1)));
}

// The database's view of `only` (or of every number) where it differs from
// the listed ports', for the text forms of list and get.
std::string DatabaseView(const std::vector<PortRow>& rows, const std::optional<int>& only) {
    const auto held = ReadDatabaseNumbers();
    return held ? DatabaseNotes(rows, *held, only) : "";
}

constexpr const char* kNumberWord = "number";

// Takes "number N" out of the words of a set command.
std::optional<int> TakeNumber(std::vector<std::string>& words) {
    for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
        if (words[i] != kNumberWord) continue;
        const std::optional<int> number = ParsePortArgument(words[i + 1]);
        if (!number || *number < PO_MIN_PORT || *number > PO_MAX_PORT) {
            throw InputError("bad value '" + words[i + 1] + "' for number (1 to 256)");
        }
        words.erase(words.begin() + static_cast<std::ptrdiff_t>(i),
                    words.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return number;
    }
    return std::nullopt;
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

std::size_t IndexOf(const OptionSpec& option) {
    return static_cast<std::size_t>(&option - Options().data());
}

// What a message calls the file an import reads: its name, or "standard
// input" for "-".
std::string InputName(const std::string& file) {
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

// Says that the listing failed; the command's status.
int ListingFailure(const std::string& reason) {
    std::cerr << "portctl: " << reason << "\n";
    return 1;
}

// A text the profile engine gives: its call, offered a buffer until the
// text fits (the first holds an export of every COM number, and the report
// of a usual import).  The call answers whether it succeeded.
template <typename Call>
std::pair<bool, std::string> EngineText(Call call) {
    std::string text(std::size_t{1} << 16, '\0');
    for (;;) {
        int needed = 0;
        const bool done = call(text.data(), static_cast<int>(text.size()), &needed) != 0;
        if (done || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            text.resize(std::strlen(text.c_str()));
            return {done, text};
        }
        text.assign(static_cast<std::size_t>(needed), '\0');
    }
}

int ReportForm(const ImportRequest& request) {
    if (request.json) return PO_REPORT_JSON;
    return request.check ? PO_REPORT_LINE : PO_REPORT_LINES;
}

PoProfileOutcome EmptyOutcome() {
    PoProfileOutcome outcome{};
    outcome.size = sizeof outcome;
    return outcome;
}

// The engine's plan, import or test of `profile`, with its outcome.
std::pair<bool, std::string> RunEngine(const ImportRequest& request, const std::string& profile,
                                       PoProfileOutcome& outcome) {
    const int match = request.match;
    const int form = ReportForm(request);
    return EngineText([&](char* text, int capacity, int* needed) {
        if (request.check) {
            return PoProfileTest(profile.c_str(), match, form, text, capacity, needed, &outcome);
        }
        if (request.dryRun) {
            return PoProfilePlan(profile.c_str(), match, form, text, capacity, needed, &outcome);
        }
        return PoProfileImport(profile.c_str(), match, form, nullptr, nullptr, text, capacity,
                               needed, &outcome);
    });
}

// Gives the port its new number and says how it went; the command's status.
int Renumber(const PortRow& row, int newNumber, bool force,
             const std::vector<std::string>& applied) {
    const std::string what = ComName(*row.number) + " number";
    const NumberOutcome outcome = ApplyNumber(row, newNumber, force);
    if (outcome.done) {
        std::cout << what << ": " << *row.number << " -> " << newNumber << "\n";
        if (outcome.needsReboot) {
            std::cout << "portctl: the port takes " << ComName(newNumber)
                      << " when Windows restarts\n";
        }
        return 0;
    }
    std::cerr << "portctl: " << what << " not changed: " << outcome.reason << "\n";
    if (!applied.empty()) {
        std::string list;
        for (const std::string& option : applied) list += (list.empty() ? "" : ", ") + option;
        std::cerr << "portctl: applied before it: " << list << "\n";
    }
    return 1;
}

}  // namespace

int ListPorts(bool json) {
    std::vector<PortRow> rows;
    try {
        rows = ReadListing();
    } catch (const ListingFailed& failure) {
        if (json) std::cout << "[]\n";
        return ListingFailure(failure.what());
    }
    if (json) {
        Json array = Json::array();
        for (const PortRow& row : rows) array.push_back(RowJson(row));
        std::cout << array.dump(2) << "\n";
    } else {
        std::cout << RenderTable(rows) << DatabaseView(rows, std::nullopt);
    }
    return 0;
}

int GetPort(const std::string& port, const std::optional<std::string>& option, bool json) {
    const std::vector<PortRow> rows = ReadListing();
    const PortRow row = FindPort(rows, port);
    if (!option) {
        if (json) {
            std::cout << RowJson(row).dump(2) << "\n";
            return 0;
        }
        std::cout << RenderTable({row});
        if (row.modes) std::cout << "interface modes: " << ModeList(*row.modes) << "\n";
        std::cout << DatabaseView(rows, row.number);
        return 0;
    }
    const OptionSpec& wanted = FindOptionOrThrow(*option);
    const Setting& setting = (*row.settings)[IndexOf(wanted)];
    std::cout << (json ? SettingJson(wanted, setting).dump() : FormatSetting(wanted, setting))
              << "\n";
    return 0;
}

CommandResult SetOptions(const std::string& port, std::vector<std::string> words, bool force) {
    const PortRow row = FindPort(ReadListing(), port);
    const std::optional<int> newNumber = TakeNumber(words);
    const std::vector<Change> changes =
        newNumber && words.empty() ? std::vector<Change>{} : ParseChanges(words);
    const std::string name = ComName(*row.number);
    for (const Change& change : changes) {
        if (const auto refusal = ModeRefusal(row, *change.option, change.value)) {
            throw InputError(name + " " + change.option->name + " not changed: " + *refusal);
        }
    }

    CommandResult result;
    std::vector<std::string> applied;
    for (const Change& change : changes) {
        result.changeCalled = true;
        const ChangeOutcome outcome = ApplyChange(*row.number, *change.option, change.value);
        const std::string what = name + " " + change.option->name;
        if (outcome.done) {
            std::cout << what << ": " << Arrow(*change.option, outcome.before, outcome.after)
                      << "\n";
            applied.push_back(change.option->name);
            continue;
        }
        const Setting& listed = (*row.settings)[IndexOf(*change.option)];
        std::cerr << "portctl: " << what
                  << " not changed: " << RefusalText(outcome, *change.option, listed) << "\n";
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
    // The options are changed first, under the number they are found by.
    if (newNumber) {
        result.changeCalled = true;
        result.status = Renumber(row, *newNumber, force, applied);
    }
    return result;
}

int ExportOptions(const std::string& file) {
    PoProfileOutcome outcome = EmptyOutcome();
    const auto [exported, text] = EngineText([&](char* buffer, int capacity, int* needed) {
        return PoProfileExport(buffer, capacity, needed, &outcome);
    });
    if (!exported && outcome.unlisted[0] != '\0') {
        // An empty export never replaces a file.
        if (file == kStandardStream) std::cout << text;
        return ListingFailure(outcome.unlisted);
    }
    if (!exported) {
        throw std::runtime_error("the ports cannot be exported (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    if (file == kStandardStream) {
        std::cout << text;
        return 0;
    }
    try {
        WriteFileAtomically(file, text);
    } catch (const std::runtime_error& e) {
        throw InputError(file + ": cannot be written (" + e.what() + ")");
    }
    return 0;
}

CommandResult ImportOptions(const ImportRequest& request) {
    const std::string& file = request.file;
    const std::string profile = ReadInput(file);
    PoProfileOutcome outcome = EmptyOutcome();
    const auto [done, text] = RunEngine(request, profile, outcome);
    const unsigned long error = done ? 0 : GetLastError();
    if (error == ERROR_INVALID_DATA) throw InputError(InputName(file) + ": " + text);
    CommandResult result;
    result.changeCalled = outcome.changed != 0;
    std::cout << text;
    if (error == PO_PROFILE_NOT_LISTED) {
        // A check says so in its one line and leaves standard error empty,
        // as the tools that run it count anything there as a failure.
        result.status = request.check ? 1 : ListingFailure(outcome.unlisted);
        return result;
    }
    if (!done) {
        throw std::runtime_error("the profile cannot be carried out (error " +
                                 std::to_string(error) + ")");
    }
    if (outcome.refused > 0) {
        if (request.match & PO_MATCH_NUMBERS) {
            // The outcome counts the options alone.
            std::cerr << "portctl: " << outcome.refused
                      << (outcome.refused == 1 ? " setting or number" : " settings or numbers")
                      << " refused\n";
        } else {
            std::cerr << "portctl: " << outcome.refused << " of " << outcome.options
                      << " settings refused\n";
        }
        result.status = 1;
    }
    if (request.check && outcome.differing > 0) result.status = 1;
    return result;
}

}  // namespace portctl
