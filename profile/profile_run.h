// A profile's plan, import or test, carried out on the present ports with
// its report in one of the three forms, as portctl's import and check give
// them.
#ifndef PORTPROFILE_PROFILE_RUN_H
#define PORTPROFILE_PROFILE_RUN_H

#include <cstddef>
#include <functional>
#include <string>

#include "backup.h"
#include "import_report.h"

namespace portctl {

enum class Task {
    kPlan,    // what an import would do
    kImport,  // make the changes
    kTest,    // whether every option holds; a port missing by COM number differs
};

struct RunRequest {
    Task task = Task::kPlan;
    MatchBy match = MatchBy::kNumber;
    // Matching by position, also the COM number each entry is keyed by:
    // given first in an import, compared in a test.
    bool numbers = false;
    ReportForm form = ReportForm::kLines;
    // Asked before each change (of an option or a number) with the change
    // as JSON; false declines it.
    std::function<bool(const std::string&)> confirm;
    // The longest report the caller takes: an import whose report might
    // be longer changes nothing and ends in ReportTooLong.
    std::size_t capacity = std::string::npos;
};

struct RunResult {
    std::string report;
    int options = 0;
    int differing = 0;
    int refused = 0;
    bool changed = false;
    std::string unlisted;  // why the ports could not be listed
};

// An import's report would not fit: `needed` bytes would hold any report
// of its plan.
struct ReportTooLong {
    std::size_t needed;
};

// The profile's text read as JSON; throws InputError ("malformed JSON: ...").
Json ParseProfile(const std::string& text);

// Throws InputError for a profile that does not fit the present ports, and
// ReportTooLong; nothing is changed then.
RunResult RunProfile(const std::string& text, const RunRequest& request);

// The machine's profile as portctl export writes it; `unlisted` says why
// it is empty when the ports could not be listed.
std::string ExportProfile(std::string& unlisted, int& options);

}  // namespace portctl

#endif
