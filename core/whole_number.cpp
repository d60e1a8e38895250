#include "whole_number.h"

namespace numeric {

std::variant<std::int64_t, WholeNumberProblem> parseWholeNumber(QStringView text, std::int64_t low,
                                                                std::int64_t high) {
    // A character outside Latin-1 is no digit: toLatin1 makes it '?', which the rule refuses.
    return parseDigits(text.toLatin1().toStdString(), low, high);
}

QString wholeNumberProblemText(QStringView text, WholeNumberProblem problem, std::int64_t low,
                               std::int64_t high) {
    return QString::fromStdString(
        wholeNumberProblemText(text.toUtf8().toStdString(), problem, low, high));
}

} // namespace numeric
