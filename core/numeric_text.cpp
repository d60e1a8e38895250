#include "numeric_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace numeric {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Checks the decimal grammar and gives the ASCII text without a leading '+', together with the
// decimal order of magnitude of the leading significant digit (used to tell overflow from
// underflow when the conversion reports a value out of range).
struct Scanned {
    std::string ascii;
    long long magnitude = 0;
    bool hasNonZeroDigit = false;
};

std::optional<Scanned> scanDecimal(QStringView text) {
    Scanned out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            out.ascii.push_back('-');
        ++i;
    }
    qsizetype intDigits = 0;
    qsizetype fracDigits = 0;
    long long firstNonZeroPos = 0; // position relative to the decimal point
    for (; i < n && isAsciiDigit(text[i]); ++i, ++intDigits) {
        if (!out.hasNonZeroDigit && text[i] != u'0') {
            out.hasNonZeroDigit = true;
            firstNonZeroPos = intDigits; // fixed up below once the integer part's length is known
        }
        out.ascii.push_back(char(text[i].unicode()));
    }
    if (out.hasNonZeroDigit)
        firstNonZeroPos = intDigits - firstNonZeroPos; // digits left of the point, counting it
    if (i < n && text[i] == u'.') {
        out.ascii.push_back('.');
        ++i;
        for (; i < n && isAsciiDigit(text[i]); ++i, ++fracDigits) {
            if (!out.hasNonZeroDigit && text[i] != u'0') {
                out.hasNonZeroDigit = true;
                firstNonZeroPos = -fracDigits;
            }
            out.ascii.push_back(char(text[i].unicode()));
        }
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    long long exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        out.ascii.push_back('e');
        ++i;
        bool negative = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            negative = text[i] == u'-';
            out.ascii.push_back(char(text[i].unicode()));
            ++i;
        }
        qsizetype expDigits = 0;
        for (; i < n && isAsciiDigit(text[i]); ++i, ++expDigits) {
            out.ascii.push_back(char(text[i].unicode()));
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[i].unicode() - u'0');
        }
        if (expDigits == 0)
            return std::nullopt;
        if (negative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    out.magnitude = firstNonZeroPos + exponent;
    return out;
}

} // namespace

std::optional<double> parseNumber(QStringView text) {
    const auto scanned = scanDecimal(trimBlanks(text));
    if (!scanned)
        return std::nullopt;
    const std::string &ascii = scanned->ascii;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (scanned->hasNonZeroDigit && scanned->magnitude > 0)
            return std::nullopt; // larger than any double
        return ascii.front() == '-' ? -0.0 : 0.0;
    }
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double nearestEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {
template <typename Int> std::optional<Int> fitting(double integral) {
    if (!(integral >= 0.0 && integral <= double(std::numeric_limits<Int>::max())))
        return std::nullopt;
    return static_cast<Int>(integral);
}
} // namespace

std::optional<std::uint8_t> floorToByte(double value) {
    return fitting<std::uint8_t>(std::floor(value));
}

std::optional<std::uint8_t> nearestToByte(double value) {
    return fitting<std::uint8_t>(nearestEven(value));
}

double wrappedRegisterNumber(double value) {
    float single = static_cast<float>(value);
    if (single < 0.0f)
        single = static_cast<float>(double(single) + 65536.0);
    return nearestEven(single);
}

std::optional<std::uint16_t> wrappedRegisterValue(double value) {
    return fitting<std::uint16_t>(wrappedRegisterNumber(value));
}

std::optional<std::uint8_t> textFloorToByte(QStringView text) {
    const auto value = parseNumber(text);
    return value ? floorToByte(*value) : std::nullopt;
}

std::optional<std::uint8_t> textNearestToByte(QStringView text) {
    const auto value = parseNumber(text);
    return value ? nearestToByte(*value) : std::nullopt;
}

} // namespace numeric
