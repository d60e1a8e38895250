#include "whole_number.h"

#include <algorithm>
#include <charconv>

namespace numeric {

std::variant<std::int64_t, WholeNumberProblem> parseWholeNumber(QStringView text, std::int64_t low,
                                                                std::int64_t high) {
    const bool digitsOnly = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!digitsOnly)
        return WholeNumberProblem::NotWhole;
    const QByteArray latin = text.toLatin1();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(latin.cbegin(), latin.cend(), value);
    if (error == std::errc::result_out_of_range || value < low || value > high)
        return WholeNumberProblem::OutOfRange;
    if (error != std::errc() || end != latin.cend())
        return WholeNumberProblem::NotWhole;
    return value;
}

QString wholeNumberProblemText(QStringView text, WholeNumberProblem problem, std::int64_t low,
                               std::int64_t high) {
    if (problem == WholeNumberProblem::NotWhole)
        return QStringLiteral("'%1' is not a whole number (digits only)").arg(text);
    return QStringLiteral("'%1' is out of range (%2 to %3)").arg(text).arg(low).arg(high);
}

} // namespace numeric
