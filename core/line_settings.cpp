#include "line_settings.h"
#include "whole_number.h"

#include <QList>

namespace {
constexpr int kFewestDataBits = 5;
constexpr int kMostDataBits = 8;

std::optional<int> wholeNumber(QStringView field, int low, int high) {
    const auto number = numeric::parseWholeNumber(field, low, high);
    if (!std::holds_alternative<std::int64_t>(number))
        return std::nullopt;
    return int(std::get<std::int64_t>(number));
}
} // namespace

std::optional<LineSettings> parseLineSettings(QStringView text) {
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings settings;
    const auto baud = wholeNumber(fields[0], 1, kHighestLineSpeed);
    if (!baud)
        return std::nullopt;
    settings.baudRate = *baud;
    if (fields[1].size() != 1)
        return std::nullopt;
    const char parity = char(fields[1][0].toUpper().unicode());
    if (QStringLiteral("NEOMS").indexOf(QChar(parity)) < 0 || fields[1][0].unicode() > 0x7F)
        return std::nullopt;
    settings.parity = parity;
    const auto dataBits = wholeNumber(fields[2], kFewestDataBits, kMostDataBits);
    if (!dataBits)
        return std::nullopt;
    settings.dataBits = *dataBits;
    if (fields[3] == u"1")
        settings.stopBits = 1;
    else if (fields[3] == u"1.5")
        settings.stopBits = 3;
    else if (fields[3] == u"2")
        settings.stopBits = 2;
    else
        return std::nullopt;
    return settings;
}

QString settingsText(int baudRate) {
    return QString::number(baudRate) + QStringLiteral(",N,8,1");
}
