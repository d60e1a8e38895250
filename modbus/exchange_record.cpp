#include "exchange_record.h"

#include "frame_codec.h"
#include "module_protocol.h"

#include <QStringList>

#include <cstdlib>

namespace modbus {

QString kindName(int cmdType, const QByteArray &request) {
    switch (cmdType) {
    case kMeasurementRead:
        return kMeasurementKind;
    case kAddressChange:
        return kAddressChangeKind;
    case kAddressReadOrParameterWrite:
        return request.size() > 1 && std::uint8_t(request[1]) == kWriteSingleRegister
                   ? kParameterWriteKind
                   : kAddressReadKind;
    default:
        return QStringLiteral("none");
    }
}

namespace {
QString csvField(const QString &text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString eventName(ExchangeRecord::Event event) {
    switch (event) {
    case ExchangeRecord::Event::Request:
        return QStringLiteral("request");
    case ExchangeRecord::Event::Reply:
        return QStringLiteral("reply");
    case ExchangeRecord::Event::Line:
        break;
    }
    return QStringLiteral("line");
}
} // namespace

QString csvHeader() {
    QStringList columns{QStringLiteral("time"),      QStringLiteral("event"),
                        QStringLiteral("kind"),      QStringLiteral("request_hex"),
                        QStringLiteral("reply_hex"), QStringLiteral("status")};
    for (const ModuleField &field : kModuleFields)
        columns << QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
    columns << QStringLiteral("address") << QStringLiteral("note");
    return columns.join(u',');
}

QString csvLine(const ExchangeRecord &record) {
    QStringList fields{isoTimestamp(record.time), eventName(record.event), record.kind,
                       spacedHex(record.request), spacedHex(record.reply), record.status};
    for (const auto &value : record.registers)
        fields << (value ? QString::number(*value) : QString());
    fields << (record.address ? QString::number(*record.address) : QString()) << record.note;
    for (QString &field : fields)
        field = csvField(field);
    return fields.join(u',');
}

QString isoTimestamp(const QDateTime &time) {
    if (!time.isValid())
        return {};
    // Always "+hh:mm", also at UTC (Qt writes "Z"): one format down the whole column.
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toOffsetFromUtc(offset).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(QLatin1Char(offset < 0 ? '-' : '+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString spacedHex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString exceptionName(std::uint8_t code) {
    switch (code) {
    case 0x01:
        return QStringLiteral("illegal function");
    case 0x02:
        return QStringLiteral("illegal data address");
    case 0x03:
        return QStringLiteral("illegal data value");
    case 0x04:
        return QStringLiteral("slave device failure");
    case 0x05:
        return QStringLiteral("acknowledge");
    case 0x06:
        return QStringLiteral("slave device busy");
    case 0x08:
        return QStringLiteral("memory parity error");
    case 0x0A:
        return QStringLiteral("gateway path unavailable");
    case 0x0B:
        return QStringLiteral("gateway target device failed to respond");
    default:
        return QStringLiteral("exception 0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

namespace {
QString hexByte(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}
} // namespace

QString exceptionText(std::uint8_t code) {
    return QStringLiteral("exception %1 (%2)").arg(hexByte(code), exceptionName(code));
}

QString rejectionReason(const QByteArray &block, int cmdType) {
    if (block.isEmpty())
        return QStringLiteral("nothing received");
    if (block.size() < 3)
        return QStringLiteral("cut short");
    const auto function = std::uint8_t(block[1]);
    if (function & kExceptionFlag)
        return exceptionText(std::uint8_t(block[2]));
    // A measurement takes any read reply; an address change only the echo; the address read or
    // parameter write the one-register reply or the echo.
    const bool echo = cmdType != kMeasurementRead && function == kWriteSingleRegister;
    const bool read = cmdType == kMeasurementRead || (cmdType == kAddressReadOrParameterWrite &&
                                                      function == kReadHoldingRegisters);
    if (!echo && !read)
        return QStringLiteral("unexpected function %1").arg(hexByte(function));
    const int length = echo ? kWriteEchoLength : 3 + std::uint8_t(block[2]) + 2;
    if (block.size() < length)
        return QStringLiteral("cut short");
    if (read && cmdType == kAddressReadOrParameterWrite && std::uint8_t(block[2]) != 2)
        return QStringLiteral("not a one-register reply");
    return QStringLiteral("CRC mismatch");
}

} // namespace modbus
