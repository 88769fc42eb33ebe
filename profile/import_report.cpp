#include "import_report.h"

#include <map>
#include <ostream>

namespace portctl {

namespace {

Setting Wanted(const ImportStep& step) { return {Setting::State::kValue, step.value}; }

}  // namespace

void ImportReport::Matched(const std::string& entry, const std::string& port) {
    if (form_ != ReportForm::kLines || entry == lastMatched_) return;
    lastMatched_ = entry;
    out_ << entry << " goes to " << port << "\n";
}

void ImportReport::Number(const NumberStep& step, const NumberResult& result) {
    using Kind = NumberResult::Kind;
    Json json;
    std::string line;
    const std::string way = std::to_string(step.from) + " -> " +
                            (result.through ? std::to_string(*result.through) + " -> " : "") +
                            std::to_string(step.to);
    switch (result.kind) {
        case Kind::kUnchanged:
            json = {{"result", "unchanged"}, {"value", step.from}};
            line = "unchanged (" + std::to_string(step.from) + ")";
            break;
        case Kind::kWouldApply:
        case Kind::kApplied:
            json = {{"result", result.kind == Kind::kApplied ? "applied" : "would apply"},
                    {"from", step.from},
                    {"to", step.to}};
            if (result.through) json["through"] = *result.through;
            line = std::string(result.kind == Kind::kApplied ? "applied" : "would apply") + " (" +
                   way + ")";
            if (result.restart) {
                json["restart"] = true;
                line += "; the port takes it when Windows restarts";
            }
            changed_ = changed_ || result.kind == Kind::kApplied;
            break;
        case Kind::kRefused:
            json = {{"result", "refused"}, {"reason", result.reason}};
            line = "refused: " + result.reason;
            break;
    }
    switch (form_) {
        case ReportForm::kLines:
            out_ << step.port << " number: " << line << "\n";
            return;
        case ReportForm::kSummary:
            summary_.AddNumber(step.port, step.from, step.to);
            return;
        case ReportForm::kJson:
            break;
    }
    Json& port = ports_[step.port];
    port["entry"] = step.entry;
    port["number"] = std::move(json);
    port["options"] = Json::object();
}

void ImportReport::Renumberings(const std::vector<NumberStep>& steps, const NumberRun& run) {
    renumberings_ = Json::array();
    // The port each renumbering moves, by the number it carries then.
    std::map<int, std::string> found;
    for (const NumberStep& step : steps) found[step.from] = step.port;
    for (const RenumberStep& step : run.order) {
        const std::string port = found.at(step.from);
        found.erase(step.from);
        found[step.to] = port;
        renumberings_->push_back({{"port", port}, {"from", step.from}, {"to", step.to}});
    }
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
            Json report{{"changed", changed_}, {"ports", ports_}};
            if (renumberings_) report["renumberings"] = *renumberings_;
            out_ << report.dump(2) << "\n";
            return;
    }
}

}  // namespace portctl
