#include "address_list.h"

#include "whole_digits.h"

#include <algorithm>

namespace modbus {
namespace {

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// One item's first and last address, or what is wrong with it.
struct Span {
    int first = 0;
    int last = 0;
};
using SpanOrProblem = std::variant<Span, AddressListProblem>;

std::variant<int, AddressListProblem> address(std::string_view text, int low, int high) {
    const auto value = numeric::parseDigits(text, low, high);
    if (const auto *problem = std::get_if<numeric::WholeNumberProblem>(&value))
        return AddressListProblem{numeric::wholeNumberProblemText(text, *problem, low, high)};
    return int(std::get<std::int64_t>(value));
}

SpanOrProblem span(std::string_view item, std::string_view list, int low, int high) {
    if (item.empty())
        return AddressListProblem{quoted(list) + " has an empty item"};
    const std::size_t dash = item.find('-');
    if (dash == std::string_view::npos) {
        const auto one = address(item, low, high);
        if (const auto *problem = std::get_if<AddressListProblem>(&one))
            return *problem;
        return Span{std::get<int>(one), std::get<int>(one)};
    }
    const std::string_view from = item.substr(0, dash);
    const std::string_view to = item.substr(dash + 1);
    if (from.empty() || to.empty() || to.find('-') != std::string_view::npos)
        return AddressListProblem{quoted(item) + " is no range (FROM-TO)"};
    const auto first = address(from, low, high);
    if (const auto *problem = std::get_if<AddressListProblem>(&first))
        return *problem;
    const auto last = address(to, low, high);
    if (const auto *problem = std::get_if<AddressListProblem>(&last))
        return *problem;
    if (std::get<int>(last) < std::get<int>(first))
        return AddressListProblem{quoted(item) + " runs backwards (write " + std::string(to) + "-" +
                                  std::string(from) + ")"};
    return Span{std::get<int>(first), std::get<int>(last)};
}

} // namespace

std::variant<std::vector<int>, AddressListProblem> parseAddressList(std::string_view text, int low,
                                                                    int high) {
    if (text.empty())
        return AddressListProblem{"'' is an empty list"};
    std::vector<int> addresses;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const auto item = span(text.substr(start, comma - start), text, low, high);
        if (const auto *problem = std::get_if<AddressListProblem>(&item))
            return *problem;
        for (int a = std::get<Span>(item).first; a <= std::get<Span>(item).last; ++a) {
            if (std::find(addresses.begin(), addresses.end(), a) != addresses.end())
                return AddressListProblem{quoted(text) + " has " + std::to_string(a) + " twice"};
            addresses.push_back(a);
        }
        if (comma == text.size())
            return addresses;
        start = comma + 1;
    }
}

std::string addressListText(const std::vector<int> &addresses) {
    std::string text;
    for (std::size_t first = 0; first < addresses.size();) {
        std::size_t last = first;
        while (last + 1 < addresses.size() && addresses[last + 1] == addresses[last] + 1)
            ++last;
        if (last - first < 2)
            last = first; // one or two: named one by one
        if (!text.empty())
            text += ',';
        text += std::to_string(addresses[first]);
        if (last > first)
            text += '-' + std::to_string(addresses[last]);
        first = last + 1;
    }
    return text;
}

} // namespace modbus
