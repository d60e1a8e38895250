#pragma once

#include "module_map.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A list of slave addresses as a user types it on a command line: the simulator's --slave and the
// command line's --address take the same syntax, read here. Qt-free.
namespace modbus {

// What is wrong with a list, in one line that quotes the part at fault, to stand after the
// option's name ("--slave: '7-3' runs backwards (write 3-7)").
struct AddressListProblem {
    std::string message;
};

// The addresses of "1,5,9", "3-7" or "1,3-5,9", in the order written (a range counts upwards),
// each low..high. Items are separated by commas, a range is FROM-TO; digits only (whole_digits.h),
// no blanks. Refused: an empty list or item, an item or range end that is not digits or is out of
// range, a range that is not FROM-TO, a range that runs backwards, an address named twice.
std::variant<std::vector<int>, AddressListProblem>
parseAddressList(std::string_view text, int low = kLowestModuleAddress,
                 int high = kHighestLibmodbusAddress);

// The list as parseAddressList takes it back, in the same order: a run of three or more
// consecutive addresses as a range ("1-5,9,11,12").
std::string addressListText(const std::vector<int> &addresses);

} // namespace modbus
