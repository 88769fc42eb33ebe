#include "profile_run.h"

#include <sstream>
#include <vector>

#include "change.h"
#include "input_error.h"
#include "listing.h"
#include "port_enumeration.h"
#include "renumbering.h"

namespace portctl {

namespace {

// What an import's report may say of a step beyond what its plan says: a
// refusal's reason, or other values read back.
constexpr std::size_t kMostGrowthPerStep = 512;

Setting Wanted(const ImportStep& step) { return {Setting::State::kValue, step.value}; }

// The change a caller is asked to confirm.
std::string ChangeJson(const ImportStep& step) {
    return Json{{"port", step.port},
                {"entry", step.entry},
                {"option", step.option->name},
                {"from", SettingJson(*step.option, step.current)},
                {"to", SettingJson(*step.option, Wanted(step))}}
        .dump();
}

std::string NumberChangeJson(const NumberStep& step) {
    return Json{{"port", step.port},
                {"entry", step.entry},
                {"option", "number"},
                {"from", step.from},
                {"to", step.to}}
        .dump();
}

// Reports the option's step, and applies it to the port of COM `number`
// when it differs and the task is an import (and the caller confirms it).
void CarryOut(const ImportStep& step, int number, const RunRequest& request, ImportReport& report,
              RunResult& result) {
    ++result.options;
    if (!step.present) {
        report.Absent(step);
        ++result.differing;
    } else if (Unchanged(step)) {
        report.Unchanged(step);
    } else if (step.refusal) {
        // Known without a call; a test counts it as a difference.
        report.Refused(step, *step.refusal);
        ++(request.task == Task::kTest ? result.differing : result.refused);
    } else if (request.task != Task::kImport ||
               (request.confirm && !request.confirm(ChangeJson(step)))) {
        report.WouldApply(step);
        ++result.differing;
    } else {
        result.changed = true;
        const ChangeOutcome outcome = ApplyChange(number, *step.option, step.value);
        if (outcome.done) {
            report.Applied(step, outcome);
        } else {
            report.Refused(step, RefusalText(outcome, *step.option, step.current));
            ++result.refused;
        }
    }
}

void CarryOut(const std::vector<ImportStep>& steps, const RunRequest& request, ImportReport& report,
              RunResult& result) {
    for (const ImportStep& step : steps) {
        if (request.match == MatchBy::kPosition) report.Matched(step);
        CarryOut(step, step.number, request, report, result);
    }
}

// With the ports' numbers: every number first (in an import, every
// renumbering), then, port by port, its number's result and its options
// under the number it carries now.
void CarryOut(const std::vector<ImportStep>& steps, const std::vector<NumberStep>& numbers,
              const std::vector<PortRow>& rows, const RunRequest& request, ImportReport& report,
              RunResult& result) {
    const auto confirm = [&](const NumberStep& step) {
        return !request.confirm || request.confirm(NumberChangeJson(step));
    };
    const NumberRun run = RunNumbers(numbers, rows, request.task == Task::kImport, confirm);
    result.changed = result.changed || run.called;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const NumberResult& number = run.results[i];
        report.Matched(numbers[i].entry, numbers[i].port);
        report.Number(numbers[i], number);
        if (number.kind == NumberResult::Kind::kWouldApply) ++result.differing;
        if (number.kind == NumberResult::Kind::kRefused) {
            ++(request.task == Task::kTest ? result.differing : result.refused);
        }
        for (const ImportStep& step : steps) {
            if (step.entry == numbers[i].entry) CarryOut(step, number.now, request, report, result);
        }
    }
    report.Renumberings(numbers, run);
}

// The report of the steps, as `task` gives it.
RunResult Report(const std::vector<ImportStep>& steps, const std::vector<NumberStep>& numbers,
                 const std::vector<PortRow>& rows, const RunRequest& request) {
    std::ostringstream text;
    ImportReport report(request.form, text);
    RunResult result;
    if (request.numbers) {
        CarryOut(steps, numbers, rows, request, report, result);
    } else {
        CarryOut(steps, request, report, result);
    }
    report.Finish();
    result.report = text.str();
    return result;
}

}  // namespace

Json ParseProfile(const std::string& text) {
    try {
        return Json::parse(text);
    } catch (const Json::exception& e) {
        // A syntax error, or a number too large for any type (out_of_range):
        // both are faults of the file.  nlohmann's message starts with its
        // own tag in brackets.
        std::string what = e.what();
        const std::size_t tag = what.find("] ");
        if (tag != std::string::npos) what = what.substr(tag + 2);
        throw InputError("malformed JSON: " + what);
    }
}

RunResult RunProfile(const std::string& text, const RunRequest& request) {
    const Json document = ParseProfile(text);
    std::vector<PortRow> rows;
    try {
        rows = ReadListing();
    } catch (const ListingFailed& failure) {
        std::ostringstream out;
        ImportReport report(request.form, out);
        report.Unlisted(failure.what());
        report.Finish();
        RunResult result;
        result.report = out.str();
        result.unlisted = failure.what();
        return result;
    }
    std::vector<NumberStep> numbers;
    const std::vector<ImportStep> steps =
        PlanImport(document, rows, request.match,
                   request.task == Task::kTest ? MissingPort::kKept : MissingPort::kRefused,
                   request.numbers ? &numbers : nullptr);
    if (request.task == Task::kImport) {
        RunRequest plan = request;
        plan.task = Task::kPlan;
        const std::size_t most = Report(steps, numbers, rows, plan).report.size() + 1 +
                                 (steps.size() + numbers.size()) * kMostGrowthPerStep;
        if (most > request.capacity) throw ReportTooLong{most};
    }
    return Report(steps, numbers, rows, request);
}

std::string ExportProfile(std::string& unlisted, int& options) {
    std::vector<PortRow> rows;
    try {
        rows = ReadListing();
    } catch (const ListingFailed& failure) {
        unlisted = failure.what();
        rows.clear();
    }
    const Json document = ExportDocument(rows);
    options = 0;
    for (const auto& [name, entry] : document["ports"].items()) {
        for (const auto& [key, value] : entry.items()) {
            if (key != "adapter" && key != "position") ++options;
        }
    }
    return document.dump(2) + "\n";
}

}  // namespace portctl
