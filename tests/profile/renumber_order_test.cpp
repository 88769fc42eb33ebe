// The order of renumberings for a set of ports: each table entry is checked
// by replaying its steps, which must never give a number to two ports, must
// never touch a number held outside the set, and must end with every port
// on its wanted number.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "renumber_order.h"

namespace {

using portctl::RenumberOrder;
using portctl::RenumberStep;
using portctl::WantedNumber;

struct Case {
    const char* label;
    std::vector<WantedNumber> wanted;
    std::set<int> held;
    int highest;
    std::size_t steps;   // how many renumberings (the fewest)
    const char* error;   // when there must be no order
};

const Case kCases[] = {
    {"one port to a free number", {{7, 12}}, {1}, 256, 1, nullptr},
    {"unchanged ports make no step", {{3, 3}, {4, 4}}, {}, 256, 0, nullptr},
    {"a chain goes from its free end", {{3, 4}, {4, 5}, {5, 6}}, {}, 256, 3, nullptr},
    {"a swap passes through a free number", {{3, 4}, {4, 3}}, {1, 2}, 256, 3, nullptr},
    {"a rotation of three", {{3, 4}, {4, 5}, {5, 3}}, {}, 256, 4, nullptr},
    {"a swap and a chain at once", {{3, 4}, {4, 3}, {8, 9}, {9, 10}}, {}, 256, 5, nullptr},
    {"a number held outside the set", {{3, 5}}, {5}, 256, 0, "held by a port outside"},
    {"two ports wanting one number", {{3, 5}, {4, 5}}, {}, 256, 0, "two ports want COM5"},
    {"no free number for a swap", {{1, 2}, {2, 1}}, {3}, 3, 0, "no free number"},
};

class Order : public ::testing::TestWithParam<Case> {};

TEST_P(Order, StepsNeverShareANumberAndEndWhereWanted) {
    const Case& c = GetParam();
    const auto order = RenumberOrder(c.wanted, c.held, c.highest);
    if (c.error) {
        ASSERT_TRUE(std::holds_alternative<std::string>(order));
        EXPECT_NE(std::get<std::string>(order).find(c.error), std::string::npos)
            << std::get<std::string>(order);
        return;
    }
    ASSERT_TRUE(std::holds_alternative<std::vector<RenumberStep>>(order))
        << std::get<std::string>(order);
    const auto& steps = std::get<std::vector<RenumberStep>>(order);
    EXPECT_EQ(steps.size(), c.steps);

    std::map<int, int> port;  // number -> which port (its first number) holds it
    for (const WantedNumber& w : c.wanted) port[w.from] = w.from;
    for (const RenumberStep& step : steps) {
        ASSERT_TRUE(port.count(step.from)) << "COM" << step.from << " moved but held by none";
        EXPECT_FALSE(port.count(step.to)) << "COM" << step.to << " given while held";
        EXPECT_FALSE(c.held.count(step.to)) << "COM" << step.to << " is held outside";
        port[step.to] = port[step.from];
        port.erase(step.from);
    }
    for (const WantedNumber& w : c.wanted) EXPECT_EQ(port[w.to], w.from);
}

INSTANTIATE_TEST_SUITE_P(Table, Order, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.label;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
});

}  // namespace
