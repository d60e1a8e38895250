#include "whole_number.h"

namespace numeric {

std::variant<std::int64_t, WholeNumberProblem> parseWholeNumber(QStringView text, std::int64_t low,
                                                                std::int64_t high) {
    // A character outside Latin-1 is no digit: toLatin1 makes it '?', which the rule refuses.
    return parseDigits(text.toLatin1().toStdString(), low, high);
}

QString wholeNumberProblemText(QStringView text, WholeNumberProblem problem, std::int64_t low,
                               std::int64_t high) {
    if (problem == WholeNumberProblem::NotWhole)
        return QStringLiteral("'%1' is not a whole number (digits only)").arg(text);
    return QStringLiteral("'%1' is out of range (%2 to %3)").arg(text).arg(low).arg(high);
}

} // namespace numeric
