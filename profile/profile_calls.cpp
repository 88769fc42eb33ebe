// The exported calls: each checks its arguments, runs the profile's task
// under the libraries' one guard, and hands its text over in the caller's
// buffer.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "exported_call.h"
#include "input_error.h"
#include "portprofile.h"
#include "profile_run.h"

namespace {

using platform::CallAnswer;
using portctl::InputError;
using portctl::ReportForm;
using portctl::RunRequest;
using portctl::RunResult;
using portctl::Task;

constexpr CallAnswer kInvalid{0, ERROR_INVALID_PARAMETER};
constexpr CallAnswer kExhausted{0, ERROR_NOT_ENOUGH_MEMORY};

bool BufferValid(const char* text, int capacity, const int* needed) {
    return needed && capacity >= 0 && (text || capacity == 0);
}

bool OutcomeValid(const PoProfileOutcome* outcome) {
    return !outcome || outcome->size == static_cast<int>(sizeof(PoProfileOutcome));
}

// By number, or by position, with or without the ports' numbers.
bool MatchValid(int match) {
    return match == PO_MATCH_NUMBER || (match & ~PO_MATCH_NUMBERS) == PO_MATCH_POSITION;
}

bool FormValid(int form) {
    return form == PO_REPORT_LINES || form == PO_REPORT_JSON || form == PO_REPORT_LINE;
}

// The request's match, from a valid `match`.
void SetMatch(RunRequest& request, int match) {
    request.numbers = (match & PO_MATCH_NUMBERS) != 0;
    request.match = (match & ~PO_MATCH_NUMBERS) == PO_MATCH_POSITION ? portctl::MatchBy::kPosition
                                                                    : portctl::MatchBy::kNumber;
}

ReportForm FormOf(int form) {
    if (form == PO_REPORT_JSON) return ReportForm::kJson;
    return form == PO_REPORT_LINE ? ReportForm::kSummary : ReportForm::kLines;
}

// Writes `text` and its terminator when they fit, giving `answer`; sets
// the bytes they take either way.
CallAnswer Deliver(const std::string& text, char* buffer, int capacity, int* needed,
                   CallAnswer answer) {
    if (text.size() >= static_cast<std::size_t>(INT_MAX)) return kExhausted;
    *needed = static_cast<int>(text.size() + 1);
    if (capacity < *needed) return {0, ERROR_INSUFFICIENT_BUFFER};
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return answer;
}

void Fill(PoProfileOutcome* outcome, const RunResult& result) {
    if (!outcome) return;
    outcome->options = result.options;
    outcome->differing = result.differing;
    outcome->refused = result.refused;
    outcome->changed = result.changed ? 1 : 0;
    std::memset(outcome->unlisted, 0, sizeof outcome->unlisted);
    result.unlisted.copy(outcome->unlisted, sizeof outcome->unlisted - 1);
}

CallAnswer Answered(const RunResult& result, char* text, int capacity, int* needed,
                    PoProfileOutcome* outcome) {
    Fill(outcome, result);
    const CallAnswer answer =
        result.unlisted.empty() ? CallAnswer{1, 0} : CallAnswer{0, PO_PROFILE_NOT_LISTED};
    return Deliver(result.report, text, capacity, needed, answer);
}

// Runs `work` under the guard, turning a profile's fault into error 13
// with the fault as the text.
template <typename Work>
int Guarded(bool valid, char* text, int capacity, int* needed, Work work) {
    return platform::RunExportedCall(valid, kInvalid, kExhausted, [&]() -> CallAnswer {
        try {
            return work();
        } catch (const InputError& fault) {
            return Deliver(fault.what(), text, capacity, needed, {0, ERROR_INVALID_DATA});
        } catch (const portctl::ReportTooLong& tooLong) {
            *needed = static_cast<int>(std::min<std::size_t>(tooLong.needed, INT_MAX));
            return {0, ERROR_INSUFFICIENT_BUFFER};
        }
    });
}

// A plan, import or test of `profile`: its report, or its fault.
int Run(const char* profile, Task task, int match, int form, char* text, int capacity, int* needed,
        PoProfileOutcome* outcome, PoProfileConfirm confirm = nullptr, void* context = nullptr) {
    const bool valid = profile && MatchValid(match) && FormValid(form) &&
                       BufferValid(text, capacity, needed) && OutcomeValid(outcome);
    return Guarded(valid, text, capacity, needed, [&] {
        Fill(outcome, {});
        RunRequest request;
        request.task = task;
        if (confirm) {
            request.confirm = [confirm, context](const std::string& change) {
                return confirm(change.c_str(), context) != 0;
            };
        }
        SetMatch(request, match);
        request.form = FormOf(form);
        request.capacity = static_cast<std::size_t>(capacity);
        return Answered(portctl::RunProfile(profile, request), text, capacity, needed, outcome);
    });
}

}  // namespace

extern "C" {

PORTPROFILE_API int PORTPROFILE_CALL PoProfileExport(char* text, int capacity, int* needed,
                                                     PoProfileOutcome* outcome) {
    const bool valid = BufferValid(text, capacity, needed) && OutcomeValid(outcome);
    return Guarded(valid, text, capacity, needed, [&] {
        RunResult result;
        result.report = portctl::ExportProfile(result.unlisted, result.options);
        return Answered(result, text, capacity, needed, outcome);
    });
}

PORTPROFILE_API int PORTPROFILE_CALL PoProfileCheck(const char* profile, int match, char* text,
                                                    int capacity, int* needed) {
    const bool valid = profile && MatchValid(match) && BufferValid(text, capacity, needed);
    return Guarded(valid, text, capacity, needed, [&] {
        RunRequest request;
        SetMatch(request, match);
        const RunResult result = portctl::RunProfile(profile, request);
        if (!result.unlisted.empty()) {
            return Deliver(result.unlisted, text, capacity, needed, {0, PO_PROFILE_NOT_LISTED});
        }
        return Deliver("", text, capacity, needed, {1, 0});
    });
}

PORTPROFILE_API int PORTPROFILE_CALL PoProfilePlan(const char* profile, int match, int form,
                                                   char* text, int capacity, int* needed,
                                                   PoProfileOutcome* outcome) {
    return Run(profile, Task::kPlan, match, form, text, capacity, needed, outcome);
}

PORTPROFILE_API int PORTPROFILE_CALL PoProfileImport(const char* profile, int match, int form,
                                                     PoProfileConfirm confirm, void* context,
                                                     char* text, int capacity, int* needed,
                                                     PoProfileOutcome* outcome) {
    return Run(profile, Task::kImport, match, form, text, capacity, needed, outcome, confirm,
               context);
}

PORTPROFILE_API int PORTPROFILE_CALL PoProfileTest(const char* profile, int match, int form,
                                                   char* text, int capacity, int* needed,
                                                   PoProfileOutcome* outcome) {
    return Run(profile, Task::kTest, match, form, text, capacity, needed, outcome);
}

}  // extern "C"
