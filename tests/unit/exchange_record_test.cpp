#include "core/exchange_record.h"
#include "core/frame_codec.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace modbus;

namespace {

const QDateTime kTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));

ExchangeRecord recordOf(ExchangeRecord::Event event, RequestKind kind) {
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
    ExchangeRecord request = recordOf(ExchangeRecord::Event::Request, RequestKind::Measurement);
    request.request = QByteArray::fromHex("01030000000AC5CD");
    request.status = ExchangeRecord::Status::Sent;
    EXPECT_EQ(csvLine(request),
              "2026-12-07T09:41:05.123+08:00,request,measurement,01 03 00 00 00 0A C5 CD,,sent,"
              ",,,,,,,,,");

    ExchangeRecord reading = recordOf(ExchangeRecord::Event::Reply, RequestKind::Measurement);
    reading.reply = QByteArray::fromHex("01030401F4FFFFBB8D");
    reading.status = ExchangeRecord::Status::Accepted;
    reading.registers = valuesByRegister(0, std::vector<int>{500, 0});
    EXPECT_EQ(csvLine(reading), "2026-12-07T09:41:05.123+08:00,reply,measurement,,"
                                "01 03 04 01 F4 FF FF BB 8D,accepted,500,0,,,,,,,,");

    // positions counted from the request's start register
    reading.registers = valuesByRegister(4, std::vector<int>{2000, 1000, 9, 9, 9});
    EXPECT_TRUE(csvLine(reading).endsWith(",accepted,,,,,2000,1000,9,9,,"));

    ExchangeRecord odd = recordOf(ExchangeRecord::Event::Line, RequestKind::None);
    odd.note = QStringLiteral("a \"quoted\", odd\nnote");
    EXPECT_TRUE(csvLine(odd).endsWith(",\"a \"\"quoted\"\", odd\nnote\""));

    ExchangeRecord echo = recordOf(ExchangeRecord::Event::Reply, RequestKind::AddressChange);
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

TEST(ExchangeRecord, KindsAndReplyNotes) {
    EXPECT_EQ(kindName(RequestKind::None), QStringLiteral("none"));
    EXPECT_EQ(kindName(RequestKind::AddressRead), QStringLiteral("address-read"));
    EXPECT_EQ(kindName(RequestKind::ParameterWrite), QStringLiteral("parameter-write"));
    const Request measurement = Request::readRegisters(1, 0, 2);
    const Request addressChange = Request::addressChange(2, 5);
    const Request addressRead = Request::addressRead(7);
    const Request parameterWrite = Request::parameterWrite(2, 0x0A05, 1000);
    struct Case {
        const Request &request;
        const char *block;
        const char *note;
    };
    const Case cases[] = {
        {measurement, "01830440F3", "exception 04 (slave device failure)"},
        {measurement, "018302C0F1", "exception 02 (illegal data address)"},
        {measurement, "01830440F30000",
         "exception 04 (slave device failure); 2 bytes after the "
         "frame: 00 00"},
        {measurement, "02830230F1", "exception 02 (illegal data address) from another address"},
        {measurement, "01830440F4", "CRC mismatch"}, // noise is named nothing before its CRC
        {measurement, "01030401F4FFFFBB8E", "CRC mismatch"},
        {measurement, "01030401F4FFFF", "cut short"},
        {measurement, "", "nothing received"},
        {measurement, "01030401F4FFFFBB8D", ""}, // a valid reply is not a "CRC mismatch"
        {measurement, "01030401F4FFFFBB8D55", "1 byte after the frame: 55"},
        {measurement, "02030401F4FFFF888D", "a reply from address 2"},
        {measurement, "01030601F4FFFF00015095", "byte count 6 for 2 registers"},
        {addressChange, "02060B000005", "cut short"},
        {addressChange, "07030201F43053", "unexpected function 03"},
        {addressChange, "02060B00002A0A02",
         "the module answered with address 42: check with 读地址"},
        {addressRead, "070304000100020000", "byte count 4 for 1 register"},
        {parameterWrite, "02060A0503E95B5E",
         "the module answered with value 1001: check with 单次"},
        {parameterWrite, "02060A0603E86A9E", "the module echoed register 0A06 and value 1000"},
        {measurement, "010300000002C40B", "the line gives back what was sent: start with --echo"},
    };
    for (const Case &c : cases) {
        const QByteArray block = QByteArray::fromHex(c.block);
        const ReplyCheck check = checkReply(c.request, bytesOf(block), ReplyPolicy::Window);
        EXPECT_EQ(replyNote(c.request, check, block), QString::fromUtf8(c.note)) << c.block;
    }
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
