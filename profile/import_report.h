// What an import says about each option of each port: a line as it goes,
// or with --json one object at the end for configuration tools:
//   {"changed": true, "ports": {"COM7": {"entry": "COM3", "options": {
//     "interface": {"result": "applied", "from": 0, "to": 2},
//     "fifo": {"result": "unchanged", "value": true},
//     "txmode": {"result": "refused", "reason": "..."}}}}}
// With --numbers each port also has its "number" before its "options"
// ({"result": "applied", "from": 12, "to": 11, "through": 2}: "through"
// the free number it passed), and the object ends with "renumberings",
// each {"port": "COM12", "from": 12, "to": 2} in the order made or planned.
// "changed" is true when any option or number was applied; a dry run's results are
// "would apply", with "from" and "to", and a check's also "absent", with
// "to", for a port missing here.  A check without --json says one line at
// the end (CheckSummary).
#ifndef PORTPROFILE_IMPORT_REPORT_H
#define PORTPROFILE_IMPORT_REPORT_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "backup.h"
#include "change.h"
#include "check_summary.h"
#include "renumbering.h"

namespace portctl {

enum class ReportForm { kLines, kJson, kSummary };

class ImportReport {
public:
    // Writes the report to `out`.
    ImportReport(ReportForm form, std::ostream& out) : form_(form), out_(out) {}

    // The present port an entry found by position (said once per entry).
    void Matched(const ImportStep& step) { Matched(step.entry, step.port); }
    void Matched(const std::string& entry, const std::string& port);
    // What became of a port's number (--numbers).
    void Number(const NumberStep& step, const NumberResult& result);
    // The renumberings in their order (--numbers).
    void Renumberings(const std::vector<NumberStep>& steps, const NumberRun& run);
    void Unchanged(const ImportStep& step);
    void WouldApply(const ImportStep& step);
    void Applied(const ImportStep& step, const ChangeOutcome& outcome);
    void Refused(const ImportStep& step, const std::string& reason);
    // A step on a port that is not here.
    void Absent(const ImportStep& step);
    // The ports could not be listed.
    void Unlisted(const std::string& reason) { summary_.Unlisted(reason); }
    // Writes the JSON object or the summary line; nothing for lines.
    void Finish() const;

private:
    void Add(const ImportStep& step, Json result, const std::string& line);

    ReportForm form_;
    std::ostream& out_;
    CheckSummary summary_;
    bool changed_ = false;
    Json ports_ = Json::object();
    std::optional<Json> renumberings_;
    std::string lastMatched_;
};

}  // namespace portctl

#endif
