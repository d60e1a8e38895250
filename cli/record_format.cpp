#include "record_format.h"

#include "core/reply_decoder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace cli {
namespace {

QString text(std::string_view view) {
    return QString::fromLatin1(view.data(), qsizetype(view.size()));
}

struct NamedValue {
    QString name;
    int value;
    QString unit;
};

// The record's values in the order of the module map, its address first.
QList<NamedValue> namedValues(const modbus::ExchangeRecord &record) {
    QList<NamedValue> values;
    if (record.address)
        values.append({QStringLiteral("address"), *record.address, {}});
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (const auto value = record.registers[std::size_t(field.address)])
            values.append({text(field.key), *value, text(field.unit)});
    }
    return values;
}

QString textBlock(const QList<NamedValue> &values) {
    qsizetype width = 0;
    for (const NamedValue &value : values)
        width = std::max(width, value.name.size());
    QString block;
    for (const NamedValue &value : values) {
        block += value.name.leftJustified(width + 2) + QString::number(value.value);
        if (!value.unit.isEmpty())
            block += u' ' + value.unit;
        block += u'\n';
    }
    return block;
}

QString textLine(const modbus::ExchangeRecord &record, const QList<NamedValue> &values) {
    QStringList words{modbus::isoTimestamp(record.time)};
    for (const NamedValue &value : values)
        words << value.name + u'=' + QString::number(value.value);
    return words.join(u' ') + u'\n';
}

QString jsonLine(const QJsonObject &object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
}

modbus::ExchangeRecord replyRecord(const QDateTime &time, modbus::RequestKind kind,
                                   modbus::ExchangeRecord::Status status) {
    modbus::ExchangeRecord record;
    record.time = time;
    record.event = modbus::ExchangeRecord::Event::Reply;
    record.kind = kind;
    record.status = status;
    return record;
}

modbus::ExchangeRecord acceptedRecord(const QDateTime &time, modbus::RequestKind kind,
                                      int address) {
    modbus::ExchangeRecord record =
        replyRecord(time, kind, modbus::ExchangeRecord::Status::Accepted);
    record.address = address;
    return record;
}

} // namespace

modbus::ExchangeRecord measurementRecord(const QDateTime &time, int address,
                                         const std::vector<std::uint16_t> &registers) {
    modbus::ExchangeRecord record = acceptedRecord(time, modbus::RequestKind::Measurement, address);
    std::vector<std::uint16_t> shown(registers.size());
    std::transform(registers.begin(), registers.end(), shown.begin(), modbus::shownValue);
    record.registers = modbus::valuesByRegister(0, shown);
    return record;
}

modbus::ExchangeRecord addressRecord(const QDateTime &time, modbus::RequestKind kind, int address) {
    return acceptedRecord(time, kind, address);
}

modbus::ExchangeRecord settingRecord(const QDateTime &time, int address,
                                     const modbus::ModuleField &field, std::uint16_t value) {
    modbus::ExchangeRecord record =
        acceptedRecord(time, modbus::RequestKind::ParameterWrite, address);
    record.registers[std::size_t(field.address)] = value;
    return record;
}

modbus::ExchangeRecord failedRecord(const QDateTime &time, modbus::RequestKind kind, int address,
                                    const QString &reason) {
    modbus::ExchangeRecord record =
        replyRecord(time, kind, modbus::ExchangeRecord::Status::Rejected);
    record.address = address;
    record.note = reason;
    return record;
}

QString recordHeader(Format format) {
    return format == Format::Csv ? modbus::csvHeader() + modbus::kCsvLineEnd : QString();
}

QString formatRecord(const modbus::ExchangeRecord &record, Format format, TextLayout layout) {
    const bool failed = record.status == modbus::ExchangeRecord::Status::Rejected;
    switch (format) {
    case Format::Csv:
        return modbus::csvLine(record) + modbus::kCsvLineEnd;
    case Format::Json: {
        QJsonObject object{{QStringLiteral("time"), modbus::isoTimestamp(record.time)},
                           {QStringLiteral("kind"), modbus::kindName(record.kind)},
                           {QStringLiteral("status"), modbus::statusName(record.status)}};
        for (const NamedValue &value : namedValues(record))
            object.insert(value.name, value.value);
        if (failed)
            object.insert(QStringLiteral("error"), record.note);
        return jsonLine(object);
    }
    case Format::Text:
        break;
    }
    if (failed)
        return {};
    return layout == TextLayout::Block ? textBlock(namedValues(record))
                                       : textLine(record, namedValues(record));
}

QString scanHeader(Format format, bool withBaud) {
    if (format != Format::Csv)
        return {};
    return (withBaud ? QStringLiteral("address,baud") : QStringLiteral("address")) +
           modbus::kCsvLineEnd;
}

QString formatFind(int address, std::optional<int> baud, Format format) {
    switch (format) {
    case Format::Csv:
        return (baud ? QStringLiteral("%1,%2").arg(address).arg(*baud) : QString::number(address)) +
               modbus::kCsvLineEnd;
    case Format::Json: {
        QJsonObject object{{QStringLiteral("address"), address}};
        if (baud)
            object.insert(QStringLiteral("baud"), *baud);
        return jsonLine(object);
    }
    case Format::Text:
        break;
    }
    return baud ? QStringLiteral("address %1, %2 baud\n").arg(address).arg(*baud)
                : QStringLiteral("address %1\n").arg(address);
}

} // namespace cli
