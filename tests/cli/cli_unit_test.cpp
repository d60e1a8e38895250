// The command line's options as they reach the exchange, and its three output formats.
#include "cli_options.h"
#include "record_format.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace cli;

namespace {

QString summary(const Invocation &invocation) {
    if (invocation.action != Invocation::Action::Run)
        return QStringLiteral("action %1 %2").arg(int(invocation.action)).arg(invocation.error);
    const char *commands[] = {"read", "poll", "address", "set-address", "set", "scan"};
    const char *formats[] = {"text", "csv", "json"};
    const Line &line = invocation.line;
    QString text = QStringLiteral("%1 %2 %3 @%4 t%5 r%6 %7")
                       .arg(QLatin1String(commands[int(invocation.command)]), line.device)
                       .arg(line.baud)
                       .arg(line.address)
                       .arg(line.timeoutMs)
                       .arg(line.retries)
                       .arg(QLatin1String(formats[int(invocation.format)]));
    switch (invocation.command) {
    case Command::Poll:
        text += QStringLiteral(" every %1 count %2 for %3")
                    .arg(invocation.intervalMs)
                    .arg(invocation.count.value_or(0))
                    .arg(invocation.durationSeconds.value_or(0));
        break;
    case Command::SetAddress:
        text += QStringLiteral(" -> %1").arg(invocation.newAddress);
        break;
    case Command::Set:
        text += QStringLiteral(" %1=%2")
                    .arg(QLatin1String(invocation.field->key.data(), invocation.field->key.size()))
                    .arg(invocation.value);
        break;
    case Command::Scan:
        for (const int baud : invocation.bauds)
            text += QStringLiteral(" %1").arg(baud);
        text += QStringLiteral(" %1-%2").arg(invocation.firstAddress).arg(invocation.lastAddress);
        break;
    default:
        break;
    }
    return text;
}

TEST(CliOptions, WhatEachCommandLineAsksFor) {
    struct Case {
        QStringList arguments;
        const char *summary;
    };
    const Case cases[] = {
        {{"read"}, "read /mapped/3 9600 @1 t200 r1 text"},
        {{"--port", "ttyUSB0", "--baud", "4800", "--address", "17", "--format", "json", "read"},
         "read /dev/ttyUSB0 4800 @17 t200 r1 json"},
        {{"--port=com3", "address", "--timeout", "1000", "--retries=0"},
         "address /mapped/5 9600 @1 t1000 r0 text"},
        {{"poll", "--interval", "50.5", "--count", "20", "--format", "csv"},
         "poll /mapped/3 9600 @1 t200 r1 csv every 50 count 20 for 0"},
        {{"poll", "--interval=60000", "--duration", "3600"},
         "poll /mapped/3 9600 @1 t200 r1 text every 60000 count 0 for 3600"},
        {{"--address", "5", "set-address", "17.9"},
         "set-address /mapped/3 9600 @5 t200 r1 text -> 17"},
        {{"set", "--", "range-coefficient", "-65536"},
         "set /mapped/3 9600 @1 t200 r1 text range_coefficient=0"},
        {{"scan"}, "scan /mapped/3 9600 @1 t50 r0 text 2400 4800 9600 19200 1-247"},
        {{"scan", "--bauds", "9600,4800,9600", "--addresses", "10-20", "--timeout", "20"},
         "scan /mapped/3 9600 @1 t20 r0 text 9600 4800 10-20"},
        {{"--bogus", "--help"}, "action 3 unknown option '--bogus'"},
        {{"read", "--help", "--bogus"}, "action 1 "},
        {{"-V"}, "action 2 "},
    };
    // COMn leads to /mapped/<n + 2>, so that the test sees the route was asked.
    const auto route = [](int port) { return QStringLiteral("/mapped/%1").arg(port + 2); };
    for (const Case &c : cases)
        EXPECT_EQ(summary(parseCommandLine(c.arguments, route)).toStdString(), c.summary)
            << c.arguments.join(u' ').toStdString();
}

const QDateTime kTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));

TEST(RecordFormat, EveryFormatOfEveryRecord) {
    const auto reading = measurementRecord(kTime, 1, {812, 0, 1, 0, 2000, 0xFFFF, 0, 2000, 7, 7});
    const auto failed = failedRecord(kTime, modbus::RequestKind::Measurement, "no reply, \"none\"");
    const auto setting = settingRecord(kTime, 17, *modbus::fieldForSettingName("range-high"), 3000);
    struct Case {
        modbus::ExchangeRecord record;
        Format format;
        TextLayout layout;
        const char *expected;
    };
    const Case cases[] = {
        {reading, Format::Text, TextLayout::Block,
         "address              1\nconcentration_ppm    812 ppm\nalarm_state          0\n"
         "range_coefficient    1\nrange_low            0\nrange_high           2000\n"
         "display_calibration  0\nalarm_low            0\nalarm_high           2000\n"},
        {reading, Format::Text, TextLayout::Line,
         "2026-12-07T09:41:05.123+08:00 address=1 concentration_ppm=812 alarm_state=0 "
         "range_coefficient=1 range_low=0 range_high=2000 display_calibration=0 alarm_low=0 "
         "alarm_high=2000\n"},
        {reading, Format::Csv, TextLayout::Line,
         "2026-12-07T09:41:05.123+08:00,reply,measurement,,,accepted,812,0,1,0,2000,0,0,2000,1,"
         "\r\n"},
        {reading, Format::Json, TextLayout::Line,
         "{\"address\":1,\"alarm_high\":2000,\"alarm_low\":0,\"alarm_state\":0,"
         "\"concentration_ppm\":812,\"display_calibration\":0,\"kind\":\"measurement\","
         "\"range_coefficient\":1,\"range_high\":2000,\"range_low\":0,"
         "\"time\":\"2026-12-07T09:41:05.123+08:00\"}\n"},
        {failed, Format::Text, TextLayout::Line, ""},
        {failed, Format::Csv, TextLayout::Line,
         "2026-12-07T09:41:05.123+08:00,reply,measurement,,,rejected,,,,,,,,,,"
         "\"no reply, \"\"none\"\"\"\r\n"},
        {failed, Format::Json, TextLayout::Line,
         "{\"error\":\"no reply, \\\"none\\\"\",\"kind\":\"measurement\","
         "\"time\":\"2026-12-07T09:41:05.123+08:00\"}\n"},
        {setting, Format::Text, TextLayout::Block, "address     17\nrange_high  3000\n"},
        {setting, Format::Csv, TextLayout::Block,
         "2026-12-07T09:41:05.123+08:00,reply,parameter-write,,,accepted,,,,,3000,,,,17,\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatRecord(c.record, c.format, c.layout).toStdString(), c.expected);
    EXPECT_EQ(recordHeader(Format::Csv), modbus::csvHeader() + "\r\n");
    EXPECT_EQ(recordHeader(Format::Json), QString());
    EXPECT_EQ(scanHeader(Format::Csv) + formatFind(17, 4800, Format::Csv),
              "address,baud\r\n17,4800\r\n");
    EXPECT_EQ(formatFind(17, 4800, Format::Json), "{\"address\":17,\"baud\":4800}\n");
    EXPECT_EQ(formatFind(17, 4800, Format::Text), "address 17, 4800 baud\n");
}

} // namespace
