#include "exchange_record.h"

#include "frame_codec.h"
#include "modbus_exceptions.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace modbus {

namespace {
// The name of each value of the enums, nullopt for a number that is none of them: a switch without
// a default, so that the compiler asks for the name of a value added to an enum (-Wswitch).
std::optional<QString> nameOf(RequestKind kind) {
    switch (kind) {
    case RequestKind::None:
        return QStringLiteral("none");
    case RequestKind::Measurement:
        return QStringLiteral("measurement");
    case RequestKind::AddressChange:
        return QStringLiteral("address-change");
    case RequestKind::AddressRead:
        return QStringLiteral("address-read");
    case RequestKind::ParameterWrite:
        return QStringLiteral("parameter-write");
    }
    return std::nullopt;
}

std::optional<QString> nameOf(ExchangeRecord::Status status) {
    using Status = ExchangeRecord::Status;
    switch (status) {
    case Status::None:
        return QString();
    case Status::Sent:
        return QStringLiteral("sent");
    case Status::NotSent:
        return QStringLiteral("not-sent");
    case Status::Accepted:
        return QStringLiteral("accepted");
    case Status::Rejected:
        return QStringLiteral("rejected");
    case Status::Undecoded:
        return QStringLiteral("undecoded");
    }
    return std::nullopt;
}

// Every value the enum has among the numbers 0..kLargestEnumValue, in order.
constexpr int kLargestEnumValue = 255;
template <typename Enum> QList<Enum> everyValue() {
    QList<Enum> values;
    for (int number = 0; number <= kLargestEnumValue; ++number) {
        if (nameOf(Enum(number)))
            values << Enum(number);
    }
    return values;
}
} // namespace

QString kindName(RequestKind kind) {
    return nameOf(kind).value_or(QStringLiteral("none"));
}

QString statusName(ExchangeRecord::Status status) {
    return nameOf(status).value_or(QString());
}

QList<RequestKind> everyRequestKind() {
    QList<RequestKind> kinds = everyValue<RequestKind>();
    kinds.removeOne(RequestKind::None);
    return kinds;
}

QList<ExchangeRecord::Status> everyStatus() {
    QList<ExchangeRecord::Status> statuses = everyValue<ExchangeRecord::Status>();
    statuses.removeOne(ExchangeRecord::Status::None);
    return statuses;
}

namespace {
// Appends one field, quoted when it holds a comma, a quote or a line break (quotes doubled).
void appendCsvField(QString &line, QStringView text) {
    const bool quoted = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\n' || c == u'\r';
    });
    if (!quoted) {
        line += text;
        return;
    }
    line += u'"';
    for (const QChar c : text) {
        if (c == u'"')
            line += u'"';
        line += c;
    }
    line += u'"';
}

// Appends the number with at least `digits` digits, zeros in front.
void appendPadded(QString &text, int value, int digits) {
    if (value < 0) {
        text += u'-';
        value = -value;
    }
    char reversed[12];
    int count = 0;
    do {
        reversed[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count < digits)
        reversed[count++] = '0';
    while (count > 0)
        text += QLatin1Char(reversed[--count]);
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
    QString line;
    line.reserve(160);
    bool first = true;
    const auto field = [&line, &first](QStringView text) {
        if (!first)
            line += u',';
        first = false;
        appendCsvField(line, text);
    };
    field(isoTimestamp(record.time));
    field(eventName(record.event));
    field(kindName(record.kind));
    field(spacedHex(record.request));
    field(spacedHex(record.reply));
    field(statusName(record.status));
    for (const ModuleField &column : kModuleFields) {
        const auto &value = record.registers[std::size_t(column.address)];
        field(value ? QString::number(*value) : QString());
    }
    field(record.address ? QString::number(*record.address) : QString());
    field(record.note);
    return line;
}

// Written out by hand: QDateTime::toString costs more than all the rest of a record's line.
QString isoTimestamp(const QDateTime &time) {
    if (!time.isValid())
        return {};
    const QDate date = time.date();
    const QTime clock = time.time();
    const int offset = time.offsetFromUtc();
    QString text;
    text.reserve(29);
    appendPadded(text, date.year(), 4);
    for (const auto &[separator, value, digits] : {std::tuple{u'-', date.month(), 2},
                                                   {u'-', date.day(), 2},
                                                   {u'T', clock.hour(), 2},
                                                   {u':', clock.minute(), 2},
                                                   {u':', clock.second(), 2},
                                                   {u'.', clock.msec(), 3}}) {
        text += separator;
        appendPadded(text, value, digits);
    }
    // Always "+hh:mm", also at UTC (Qt writes "Z"): one format down the whole column.
    text += offset < 0 ? u'-' : u'+';
    appendPadded(text, std::abs(offset) / 3600, 2);
    text += u':';
    appendPadded(text, std::abs(offset) % 3600 / 60, 2);
    return text;
}

QString spacedHex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString exceptionName(std::uint8_t code) {
    if (const ExceptionName *known = exceptionNamed(code))
        return QString::fromLatin1(known->name);
    return QStringLiteral("exception 0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

namespace {
QString hexByte(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}
} // namespace

QString exceptionText(std::uint8_t code) {
    return QStringLiteral("exception %1 (%2)").arg(hexByte(code), exceptionName(code));
}

namespace {
QString wordHex(std::uint16_t word) {
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

// What a write's echo repeated instead of the request, and how the technician finds out what the
// module took: the window's buttons that read it back.
QString otherValueNote(const Request &request, const ReplyCheck &check) {
    if (check.echoedRegister != request.registerAddress())
        return QStringLiteral("the module echoed register %1 and value %2")
            .arg(wordHex(check.echoedRegister))
            .arg(check.echoedValue);
    if (request.kind() == RequestKind::AddressChange)
        return QStringLiteral("the module answered with address %1: check with 读地址")
            .arg(check.echoedValue);
    return QStringLiteral("the module answered with value %1: check with 单次")
        .arg(check.echoedValue);
}
} // namespace

QString replyProblem(const Request &request, const ReplyCheck &check) {
    switch (check.verdict) {
    case ReplyVerdict::NothingReceived:
        return QStringLiteral("nothing received");
    case ReplyVerdict::CutShort:
        return QStringLiteral("cut short");
    case ReplyVerdict::CrcMismatch:
        return QStringLiteral("CRC mismatch");
    case ReplyVerdict::OtherTransaction:
        return QStringLiteral("a reply to another request");
    case ReplyVerdict::BadHeader:
        return QStringLiteral("not a Modbus TCP reply header");
    case ReplyVerdict::Exception:
        return exceptionText(check.exceptionCode);
    case ReplyVerdict::WrongAddress:
        if (check.function & kExceptionFlag)
            return exceptionText(check.exceptionCode) + QStringLiteral(" from another address");
        return QStringLiteral("a reply from address %1").arg(check.slave);
    case ReplyVerdict::WrongFunction:
        return QStringLiteral("unexpected function %1").arg(hexByte(check.function));
    case ReplyVerdict::WrongByteCount:
        return QStringLiteral("byte count %1 for %2 %3")
            .arg(check.byteCount)
            .arg(request.registerCount())
            .arg(request.registerCount() == 1 ? QStringLiteral("register")
                                              : QStringLiteral("registers"));
    case ReplyVerdict::OtherValue:
        return otherValueNote(request, check);
    case ReplyVerdict::EchoOfRequest:
        return QStringLiteral("the line gives back what was sent: start with --echo");
    case ReplyVerdict::EchoDiffers:
        return QStringLiteral("the line did not give back what was sent: start without --echo");
    case ReplyVerdict::Accepted:
    case ReplyVerdict::NotPending:
        break;
    }
    return {};
}

QString replyNote(const Request &request, const ReplyCheck &check, const QByteArray &block) {
    QString note = replyProblem(request, check);
    if (check.extraBytes > 0) {
        if (!note.isEmpty())
            note += QStringLiteral("; ");
        note += QStringLiteral("%1 %2 after the frame: %3")
                    .arg(check.extraBytes)
                    .arg(check.extraBytes == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"),
                         spacedHex(block.sliced(check.frameLength)));
    }
    return note;
}

} // namespace modbus
