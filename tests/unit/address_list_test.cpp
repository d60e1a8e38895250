// Address lists as the simulator's --slave and the command line's --address take them: the
// addresses in the order written, or the one problem, worded for the user.
#include "core/address_list.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressList, TakesItemsAndRangesRefusesTheRest) {
    struct Case {
        const char *text;
        std::vector<int> addresses; // empty: refused with `problem`
        const char *problem = "";
    };
    const Case cases[] = {
        {"7", {7}},
        {"1,5,9", {1, 5, 9}},
        {"9,1", {9, 1}},
        {"3-7", {3, 4, 5, 6, 7}},
        {"1,3-5,9", {1, 3, 4, 5, 9}},
        {"4-4", {4}},
        {"1,247", {1, 247}},
        {"", {}, "'' is an empty list"},
        {"1,,3", {}, "'1,,3' has an empty item"},
        {"1,", {}, "'1,' has an empty item"},
        {",1", {}, "',1' has an empty item"},
        {"1,1", {}, "'1,1' has 1 twice"},
        {"1,3-5,4", {}, "'1,3-5,4' has 4 twice"},
        {"7-3", {}, "'7-3' runs backwards (write 3-7)"},
        {"3-", {}, "'3-' is no range (FROM-TO)"},
        {"-3", {}, "'-3' is no range (FROM-TO)"},
        {"1-2-3", {}, "'1-2-3' is no range (FROM-TO)"},
        {"0", {}, "'0' is out of range (1 to 247)"},
        {"1-248", {}, "'248' is out of range (1 to 247)"},
        {"99999999999999999999", {}, "'99999999999999999999' is out of range (1 to 247)"},
        {"1, 2", {}, "' 2' is not a whole number (digits only)"},
        {"+1", {}, "'+1' is not a whole number (digits only)"},
        {"0x10", {}, "'0x10' is not a whole number (digits only)"},
        {"1;2", {}, "'1;2' is not a whole number (digits only)"},
    };
    for (const Case &c : cases) {
        const auto result = modbus::parseAddressList(c.text);
        if (const auto *problem = std::get_if<modbus::AddressListProblem>(&result)) {
            EXPECT_EQ(problem->message, c.problem) << c.text;
            EXPECT_TRUE(c.addresses.empty()) << c.text;
        } else {
            EXPECT_EQ(std::get<std::vector<int>>(result), c.addresses) << c.text;
        }
    }
}

TEST(AddressList, EveryAddressOfTheRangeGiven) {
    const auto all = modbus::parseAddressList("1-250", 1, 250);
    ASSERT_TRUE(std::holds_alternative<std::vector<int>>(all));
    EXPECT_EQ(std::get<std::vector<int>>(all).size(), 250u);
    const auto high = modbus::parseAddressList("250", 1, 247);
    ASSERT_TRUE(std::holds_alternative<modbus::AddressListProblem>(high));
    EXPECT_EQ(std::get<modbus::AddressListProblem>(high).message,
              "'250' is out of range (1 to 247)");
}

} // namespace
