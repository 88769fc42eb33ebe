// The one line a check answers with, for tools that show only a script's
// last line (and cut it at 2,048 characters):
//   compliant: 12 options on 4 ports
//   drift: COM3 interface 0 (want 2), COM4 fifo on (want off), COM9 absent
// With the ports' numbers: "compliant: 12 options and 4 numbers on 4
// ports", and "COM12 number 12 (want 11)" among the differences.
// A drift line that would be longer keeps the differences that fit and
// says how many it leaves out ("... and 17 more").
#ifndef PORTPROFILE_CHECK_SUMMARY_H
#define PORTPROFILE_CHECK_SUMMARY_H

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "backup.h"

namespace portctl {

// The longest line, so that with the CR LF that ends it on Windows it
// stays within 2,048 characters.
inline constexpr std::size_t kMaxSummaryLine = 2046;

class CheckSummary {
public:
    // One option the file asks for, as the port has it now.
    void Add(const ImportStep& step);
    // The COM number the file gives `port`, which carries `now`.
    void AddNumber(const std::string& port, int now, int wanted);
    // The ports could not be listed: nothing was compared.
    void Unlisted(const std::string& reason) { unlisted_ = reason; }
    // The line, without its line end.
    std::string Line() const;

private:
    std::size_t options_ = 0;
    std::size_t numbers_ = 0;
    std::set<std::string> ports_;
    std::vector<std::string> differences_;
    std::string lastAbsent_;
    std::string unlisted_;
};

}  // namespace portctl

#endif
