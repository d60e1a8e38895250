#pragma once

#include "whole_digits.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <variant>

// Whole numbers typed by a user on a command line: decimal digits only (no sign, blanks, exponent
// or decimal point), within a range. Pure: the command line and the simulator read their counts,
// addresses and times through it.
namespace numeric {

std::variant<std::int64_t, WholeNumberProblem> parseWholeNumber(QStringView text, std::int64_t low,
                                                                std::int64_t high);

// "'1.5' is not a whole number (digits only)", "'248' is out of range (1 to 247)".
QString wholeNumberProblemText(QStringView text, WholeNumberProblem problem, std::int64_t low,
                               std::int64_t high);

} // namespace numeric
