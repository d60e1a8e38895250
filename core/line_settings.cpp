#include "line_settings.h"

#include <QList>

namespace {
std::optional<int> positiveDecimal(QStringView field, int max) {
    if (field.isEmpty() || field.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const QChar c : field) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value <= 0 || value > max)
        return std::nullopt;
    return value;
}
} // namespace

std::optional<LineSettings> parseLineSettings(QStringView text) {
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings settings;
    const auto baud = positiveDecimal(fields[0], 4'000'000);
    if (!baud)
        return std::nullopt;
    settings.baudRate = *baud;
    if (fields[1].size() != 1)
        return std::nullopt;
    const char parity = char(fields[1][0].toUpper().unicode());
    if (QStringLiteral("NEOMS").indexOf(QChar(parity)) < 0 || fields[1][0].unicode() > 0x7F)
        return std::nullopt;
    settings.parity = parity;
    const auto dataBits = positiveDecimal(fields[2], 8);
    if (!dataBits || *dataBits < 5)
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
