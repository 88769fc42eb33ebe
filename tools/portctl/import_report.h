// What an import says about each option of each port: a line as it goes,
// or with --json one object at the end for configuration tools:
//   {"changed": true, "ports": {"COM7": {"entry": "COM3", "options": {
//     "interface": {"result": "applied", "from": 0, "to": 2},
//     "fifo": {"result": "unchanged", "value": true},
//     "txmode": {"result": "refused", "reason": "..."}}}}}
// "changed" is true when any option was applied; a dry run's results are
// "would apply", with "from" and "to".
#ifndef PORTCTL_IMPORT_REPORT_H
#define PORTCTL_IMPORT_REPORT_H

#include <string>

#include "backup.h"
#include "change.h"

namespace portctl {

class ImportReport {
public:
    explicit ImportReport(bool json) : json_(json) {}

    // The present port an entry found by position (said once per entry).
    void Matched(const ImportStep& step);
    void Unchanged(const ImportStep& step);
    void WouldApply(const ImportStep& step);
    void Applied(const ImportStep& step, const ChangeOutcome& outcome);
    void Refused(const ImportStep& step, const std::string& reason);
    // Writes the JSON object; nothing for text.
    void Finish() const;

private:
    void Add(const ImportStep& step, Json result, const std::string& line);

    bool json_;
    bool changed_ = false;
    Json ports_ = Json::object();
    std::string lastMatched_;
};

}  // namespace portctl

#endif
