#include "core/exchange_record.h"
#include "core/module_protocol.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace modbus;

namespace {

const QDateTime kTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));

ExchangeRecord recordOf(ExchangeRecord::Event event, const QString &kind) {
    ExchangeRecord record;
    record.time = kTime;
    record.event = event;
    record.kind = kind;
    return record;
}

TEST(ExchangeRecord, HeaderNamesEveryRegisterOfTheModule) {
    EXPECT_EQ(csvHeader(),
              QStringLiteral("time,event,kind,request_hex,reply_hex,status,concentration_ppm,"
                             "alarm_state,range_coefficient,range_low,range_high,"
                             "display_calibration,alarm_low,alarm_high,address,note"));
}

TEST(ExchangeRecord, Lines) {
    ExchangeRecord request = recordOf(ExchangeRecord::Event::Request, "measurement");
    request.request = QByteArray::fromHex("01030000000AC5CD");
    request.status = kSentStatus;
    EXPECT_EQ(csvLine(request),
              "2026-12-07T09:41:05.123+08:00,request,measurement,01 03 00 00 00 0A C5 CD,,sent,"
              ",,,,,,,,,");

    ExchangeRecord reading = recordOf(ExchangeRecord::Event::Reply, "measurement");
    reading.reply = QByteArray::fromHex("01030401F4FFFFBB8D");
    reading.status = kAcceptedStatus;
    reading.registers = valuesByRegister(0, std::vector<int>{500, 0});
    EXPECT_EQ(csvLine(reading), "2026-12-07T09:41:05.123+08:00,reply,measurement,,"
                                "01 03 04 01 F4 FF FF BB 8D,accepted,500,0,,,,,,,,");

    // positions counted from the request's start register
    reading.registers = valuesByRegister(4, std::vector<int>{2000, 1000, 9, 9, 9});
    EXPECT_TRUE(csvLine(reading).endsWith(",accepted,,,,,2000,1000,9,9,,"));

    ExchangeRecord odd = recordOf(ExchangeRecord::Event::Line, "none");
    odd.note = QStringLiteral("a \"quoted\", odd\nnote");
    EXPECT_TRUE(csvLine(odd).endsWith(",\"a \"\"quoted\"\", odd\nnote\""));

    ExchangeRecord echo = recordOf(ExchangeRecord::Event::Reply, "address-change");
    echo.address = 5;
    EXPECT_TRUE(csvLine(echo).endsWith(",5,"));
}

TEST(ExchangeRecord, TimestampsAlwaysCarryTheirOffset) {
    const QDate day(2026, 12, 7);
    const QTime time(9, 41, 5, 7);
    EXPECT_EQ(isoTimestamp(QDateTime(day, time, QTimeZone(8 * 3600))),
              "2026-12-07T09:41:05.007+08:00");
    EXPECT_EQ(isoTimestamp(QDateTime(day, time, QTimeZone::utc())),
              "2026-12-07T09:41:05.007+00:00");
    EXPECT_EQ(isoTimestamp(QDateTime(day, time, QTimeZone(-(3 * 3600 + 1800)))),
              "2026-12-07T09:41:05.007-03:30");
    EXPECT_EQ(isoTimestamp(QDateTime()), "");
}

TEST(ExchangeRecord, KindsAndRejectionReasons) {
    EXPECT_EQ(kindName(kAddressReadOrParameterWrite, QByteArray::fromHex("0203000000018439")),
              QStringLiteral("address-read"));
    EXPECT_EQ(kindName(kAddressReadOrParameterWrite, QByteArray::fromHex("02060A0503E89A9E")),
              QStringLiteral("parameter-write"));
    struct Case {
        const char *block;
        int kind;
        const char *reason;
    };
    const Case cases[] = {
        {"01830440F3", kMeasurementRead, "exception 04 (slave device failure)"},
        {"018302C0F1", kMeasurementRead, "exception 02 (illegal data address)"},
        {"01030401F4FFFFBB8E", kMeasurementRead, "CRC mismatch"},
        {"01030401F4FF", kMeasurementRead, "cut short"},
        {"", kMeasurementRead, "nothing received"},
        {"02060B000005", kAddressChange, "cut short"},
        {"07030201F43053", kAddressChange, "unexpected function 03"},
        {"070304000100020000", kAddressReadOrParameterWrite, "not a one-register reply"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(rejectionReason(QByteArray::fromHex(c.block), c.kind), c.reason) << c.block;
}

// The same text as Qt's own ISO 8601 (but for its "Z"), whatever kind of time it is given.
TEST(ExchangeRecord, TimestampsOfEveryKindOfTime) {
    const QDateTime times[] = {
        QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999), QTimeZone(-(5 * 3600 + 30 * 60))),
        QDateTime(QDate(2026, 7, 1), QTime(12, 0), Qt::LocalTime),
        QDateTime::fromMSecsSinceEpoch(1'800'000'000'123, Qt::OffsetFromUTC, 3600)};
    for (const QDateTime &time : times) {
        const QString qt = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
        EXPECT_EQ(isoTimestamp(time), qt.endsWith(u'Z') ? qt.chopped(1) + "+00:00" : qt);
    }
}

} // namespace
