#include "import_report.h"

#include <ostream>

namespace portctl {

namespace {

Setting Wanted(const ImportStep& step) { return {Setting::State::kValue, step.value}; }

}  // namespace

void ImportReport::Matched(const ImportStep& step) {
    if (form_ != ReportForm::kLines || step.entry == lastMatched_) return;
    lastMatched_ = step.entry;
    out_ << step.entry << " goes to " << step.port << "\n";
}

void ImportReport::Unchanged(const ImportStep& step) {
    const OptionSpec& option = *step.option;
    Add(step, {{"result", "unchanged"}, {"value", SettingJson(option, step.current)}},
        "unchanged (" + FormatSetting(option, step.current) + ")");
}

void ImportReport::WouldApply(const ImportStep& step) {
    const OptionSpec& option = *step.option;
    Add(step,
        {{"result", "would apply"},
         {"from", SettingJson(option, step.current)},
         {"to", SettingJson(option, Wanted(step))}},
        "would apply (" + Arrow(option, step.current, Wanted(step)) + ")");
}

void ImportReport::Applied(const ImportStep& step, const ChangeOutcome& outcome) {
    const OptionSpec& option = *step.option;
    changed_ = true;
    Add(step,
        {{"result", "applied"},
         {"from", SettingJson(option, outcome.before)},
         {"to", SettingJson(option, outcome.after)}},
        "applied (" + Arrow(option, outcome.before, outcome.after) + ")");
}

void ImportReport::Refused(const ImportStep& step, const std::string& reason) {
    Add(step, {{"result", "refused"}, {"reason", reason}}, "refused: " + reason);
}

void ImportReport::Absent(const ImportStep& step) {
    Add(step, {{"result", "absent"}, {"to", SettingJson(*step.option, Wanted(step))}},
        "absent: no such port on this machine");
}

void ImportReport::Add(const ImportStep& step, Json result, const std::string& line) {
    switch (form_) {
        case ReportForm::kLines:
            out_ << step.port << " " << step.option->name << ": " << line << "\n";
            return;
        case ReportForm::kSummary:
            summary_.Add(step);
            return;
        case ReportForm::kJson:
            break;
    }
    Json& port = ports_[step.port];
    port["entry"] = step.entry;
    port["options"][step.option->name] = std::move(result);
}

void ImportReport::Finish() const {
    switch (form_) {
        case ReportForm::kLines:
            return;
        case ReportForm::kSummary:
            out_ << summary_.Line() << "\n";
            return;
        case ReportForm::kJson:
            out_ << Json{{"changed", changed_}, {"ports", ports_}}.dump(2) << "\n";
            return;
    }
}

}  // namespace portctl
