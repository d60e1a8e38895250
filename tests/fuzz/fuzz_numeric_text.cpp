// Any text through the numeric test and the number conversions.
#include "core/numeric_text.h"

#include <QString>

#include <cmath>
#include <cstdlib>

namespace {
void check(bool condition) {
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString utf8 = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString utf16 =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    for (const QString &text : {utf8, utf16}) {
        const auto value = numeric::parseNumber(text);
        check(numeric::isNumeric(text) == value.has_value());
        if (!value) {
            check(!numeric::textFloorToByte(text) && !numeric::textNearestToByte(text));
            continue;
        }
        check(std::isfinite(*value));
        // the text of the number reads back as the same number
        const auto again = numeric::parseNumber(QString::number(*value, 'g', 17));
        check(again && *again == *value);
        if (const auto b = numeric::floorToByte(*value))
            check(*b == std::floor(*value));
        else
            check(std::floor(*value) < 0 || std::floor(*value) > 255);
        if (const auto b = numeric::nearestToByte(*value))
            check(std::fabs(*b - *value) <= 0.5);
        if (const auto r = numeric::wrappedRegisterValue(*value))
            check(*r <= 65535);
        const double even = numeric::nearestEven(*value);
        check(std::fabs(even - *value) <= 0.5 && std::floor(even) == even);
    }
    return 0;
}
