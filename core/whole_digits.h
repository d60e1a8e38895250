#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// The rule for whole numbers typed on a command line, without Qt, so that the simulator reads its
// options by it too: decimal digits only (no sign, blanks, exponent or decimal point), within a
// range.
namespace numeric {

enum class WholeNumberProblem { NotWhole, OutOfRange };

inline std::variant<std::int64_t, WholeNumberProblem>
parseDigits(std::string_view text, std::int64_t low, std::int64_t high) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return WholeNumberProblem::NotWhole;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range || value < low || value > high)
        return WholeNumberProblem::OutOfRange;
    if (error != std::errc() || end != text.data() + text.size())
        return WholeNumberProblem::NotWhole;
    return value;
}

// "'1.5' is not a whole number (digits only)", "'248' is out of range (1 to 247)".
inline std::string wholeNumberProblemText(std::string_view text, WholeNumberProblem problem,
                                          std::int64_t low, std::int64_t high) {
    const std::string quoted = "'" + std::string(text) + "'";
    if (problem == WholeNumberProblem::NotWhole)
        return quoted + " is not a whole number (digits only)";
    return quoted + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) +
           ")";
}

} // namespace numeric
