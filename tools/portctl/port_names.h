// Port names as the tool reads and shows them: "COM7", "com7" or "7" on the
// command line, "COMn" names in the order a person expects (COM2 before
// COM10, names that are not COMn last).
#ifndef PORTCTL_PORT_NAMES_H
#define PORTCTL_PORT_NAMES_H

#include <optional>
#include <string>
#include <vector>

namespace portctl {

// The number n of a name "COMn" (the letters in either case, n decimal
// digits of at most 9); nullopt for any other name.
std::optional<int> ComNumberOf(const std::string& name);

// The COM number a user means by "COM7", "com7" or "7".
std::optional<int> ParsePortArgument(const std::string& text);

// "COM7" for 7.
std::string ComName(int number);

// Indices of `names` in natural order: COMn names by n (equal numbers in
// their given order), then the other names in their given order.
std::vector<std::size_t> NaturalOrder(const std::vector<std::string>& names);

}  // namespace portctl

#endif
