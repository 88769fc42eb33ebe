#include "check_summary.h"

namespace portctl {

namespace {

std::string Counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A setting in words: "not stored" where a table shows "-".
std::string Described(const OptionSpec& option, const Setting& setting) {
    if (setting.state == Setting::State::kNotStored) return "not stored";
    return FormatSetting(option, setting);
}

// ", ... and 17 more" after `shown` differences, when `left` are left out.
std::string LeftOut(std::size_t shown, std::size_t left) {
    if (left == 0) return "";
    return std::string(shown > 0 ? ", " : "") + "... and " + std::to_string(left) + " more";
}

// `head` and as many of `items` as fit in the longest line, with what is
// left out counted.  Fewer items need a longer count after them, so one
// more item may fit where the count it replaces did not.
std::string Fitted(const std::string& head, const std::vector<std::string>& items) {
    std::size_t fit = 0;
    std::size_t length = head.size();  // with the first k items
    for (std::size_t k = 1; k <= items.size(); ++k) {
        length += (k > 1 ? 2 : 0) + items[k - 1].size();
        if (length > kMaxSummaryLine) break;
        if (length + LeftOut(k, items.size() - k).size() <= kMaxSummaryLine) fit = k;
    }
    std::string line = head;
    for (std::size_t i = 0; i < fit; ++i) line += (i > 0 ? ", " : "") + items[i];
    return line + LeftOut(fit, items.size() - fit);
}

}  // namespace

void CheckSummary::Add(const ImportStep& step) {
    ++options_;
    ports_.insert(step.port);
    if (!step.present) {
        if (step.port != lastAbsent_) differences_.push_back(step.port + " absent");
        lastAbsent_ = step.port;
        return;
    }
    if (Unchanged(step)) return;
    const OptionSpec& option = *step.option;
    differences_.push_back(step.port + " " + option.name + " " + Described(option, step.current) +
                           " (want " + FormatSetting(option, {Setting::State::kValue, step.value}) +
                           ")");
}

void CheckSummary::AddNumber(const std::string& port, int now, int wanted) {
    ++numbers_;
    ports_.insert(port);
    if (now != wanted) {
        differences_.push_back(port + " number " + std::to_string(now) + " (want " +
                               std::to_string(wanted) + ")");
    }
}

std::string CheckSummary::Line() const {
    if (!unlisted_.empty()) return ("not checked: " + unlisted_).substr(0, kMaxSummaryLine);
    if (differences_.empty()) {
        return "compliant: " + Counted(options_, "option") +
               (numbers_ > 0 ? " and " + Counted(numbers_, "number") : "") + " on " +
               Counted(ports_.size(), "port");
    }
    return Fitted("drift: ", differences_);
}

}  // namespace portctl
