// Address lists as the simulator's --slave and the command line's --address take them: the
// addresses in the order written, or the one problem, worded for the user.
#include "core/address_list.h"

#include <gtest/gtest.h>

// The addresses, each followed by a blank, or the problem.
std::string outcome(const char *text) {
    const auto result = modbus::parseAddressList(text);
    if (const auto *problem = std::get_if<modbus::AddressListProblem>(&result))
        return problem->message;
    std::string addresses;
    for (const int address : std::get<std::vector<int>>(result))
        addresses += std::to_string(address) + " ";
    return addresses;
}

TEST(AddressList, TakesItemsAndRangesRefusesTheRest) {
    const std::pair<const char *, const char *> cases[] = {
        {"7", "7 "},
        {"9,1", "9 1 "},
        {"1,3-5,9", "1 3 4 5 9 "},
        {"", "'' is an empty list"},
        {"1,,3", "'1,,3' has an empty item"},
        {"1,", "'1,' has an empty item"},
        {"1,3-5,4", "'1,3-5,4' has 4 twice"},
        {"7-3", "'7-3' runs backwards (write 3-7)"},
        {"3-", "'3-' is no range (FROM-TO)"},
        {"1-2-3", "'1-2-3' is no range (FROM-TO)"},
        {"0", "'0' is out of range (1 to 247)"},
        {"1-248", "'248' is out of range (1 to 247)"},
        {"1, 2", "' 2' is not a whole number (digits only)"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(outcome(text), expected) << text;
}

// What scan prints for the modules it found is read back as the same list.
TEST(AddressList, WrittenAsItIsRead) {
    const std::pair<std::vector<int>, const char *> cases[] = {
        {{7}, "7"},
        {{1, 2}, "1,2"},
        {{1, 2, 3}, "1-3"},
        {{1, 2, 3, 4, 5, 9, 11, 12}, "1-5,9,11,12"},
        {{9, 1, 2, 3}, "9,1-3"},
    };
    for (const auto &[addresses, expected] : cases) {
        EXPECT_EQ(modbus::addressListText(addresses), expected);
        EXPECT_EQ(std::get<std::vector<int>>(modbus::parseAddressList(expected)), addresses);
    }
}
