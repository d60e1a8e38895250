// The command line's options as they reach the exchange, and its three output formats.
#include "cli_options.h"
#include "cli_tables.h"
#include "interrupts.h"
#include "record_format.h"
#include "settling.h"

#include "core/address_list.h"
#include "core/help_text.h"
#include "core/input_checks.h"
#include "core/whole_number.h"

#include <QRegularExpression>

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace cli;

// QStrings in failure messages as text.
static void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString joined(const std::vector<int> &numbers) {
    QStringList words;
    for (const int number : numbers)
        words << QString::number(number);
    return words.join(u',');
}

QString summary(const Invocation &invocation) {
    if (invocation.action != Invocation::Action::Run)
        return QStringLiteral("action %1 %2").arg(int(invocation.action)).arg(invocation.error);
    const char *formats[] = {"text", "csv", "json"};
    const Line &line = invocation.line;
    QString text = QStringLiteral("%1 %2 %3 @%4 t%5 r%6 %7")
                       .arg(invocation.command->name, line.device)
                       .arg(line.baud)
                       .arg(joined(line.addresses))
                       .arg(line.timeoutMs)
                       .arg(line.retries)
                       .arg(QLatin1String(formats[int(invocation.format)]));
    if (line.echo)
        text += QStringLiteral(" echo");
    const QString &command = invocation.command->name;
    if (command == u"poll")
        text += QStringLiteral(" every %1 count %2 for %3")
                    .arg(invocation.intervalMs)
                    .arg(invocation.count.value_or(0))
                    .arg(invocation.durationSeconds.value_or(0));
    if (invocation.untilStable)
        text += QStringLiteral(" until %1 ppm over %2 s")
                    .arg(invocation.untilStable->spreadPpm)
                    .arg(invocation.untilStable->seconds);
    if (command == u"set-address")
        text += QStringLiteral(" -> %1").arg(invocation.newAddress);
    if (command == u"set")
        text += QStringLiteral(" %1=%2")
                    .arg(QLatin1String(invocation.field->key.data(), invocation.field->key.size()))
                    .arg(invocation.value);
    if (command == u"scan") {
        for (const int baud : invocation.bauds)
            text += QStringLiteral(" %1").arg(baud);
        text += u' ' + joined(invocation.scanAddresses);
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
        {{"-p", "ttyUSB0", "-b4800", "-a", "17", "-f", "json", "read"},
         "read /dev/ttyUSB0 4800 @17 t200 r1 json"},
        {{"--port=com3", "address", "--timeout", "1000", "--retries=0"},
         "address /mapped/5 9600 @1 t1000 r0 text"},
        {{"--address", "3", "read", "--address", "4"}, "read /mapped/3 9600 @4 t200 r1 text"},
        {{"poll", "--interval", "50", "--count", "20", "--format", "csv"},
         "poll /mapped/3 9600 @1 t200 r1 csv every 50 count 20 for 0"},
        {{"poll", "--interval=60000", "--duration", "3600"},
         "poll /mapped/3 9600 @1 t200 r1 text every 60000 count 0 for 3600"},
        {{"poll", "-l", "100"}, "poll /mapped/3 9600 @1 t200 r1 text every 100 count 0 for 0"},
        {{"--address", "5", "set-address", "17"},
         "set-address /mapped/3 9600 @5 t200 r1 text -> 17"},
        {{"set", "range-high", "20000"}, "set /mapped/3 9600 @1 t200 r1 text range_high=20000"},
        {{"set", "range-coefficient", "2.0"},
         "set /mapped/3 9600 @1 t200 r1 text range_coefficient=2"},
        {{"set", "--force", "range-coefficient", "-65536"},
         "set /mapped/3 9600 @1 t200 r1 text range_coefficient=0"},
        {{"set", "--force", "--", "range-low", "-1"},
         "set /mapped/3 9600 @1 t200 r1 text range_low=65535"},
        {{"set", "range-high", "25000.5", "--force"},
         "set /mapped/3 9600 @1 t200 r1 text range_high=25000"},
        // A bus: its addresses in the order written; one module for the commands that change it.
        {{"--address", "9,1,3-5", "read"}, "read /mapped/3 9600 @9,1,3,4,5 t200 r1 text"},
        {{"poll", "-l", "100", "-a", "1-3", "--until-stable", "0,60", "--count", "9"},
         "poll /mapped/3 9600 @1,2,3 t200 r1 text every 100 count 9 for 0 until 0 ppm over 60 s"},
        {{"-a", "5-5", "set-address", "17"}, "set-address /mapped/3 9600 @5 t200 r1 text -> 17"},
        {{"--echo", "address", "-a", "7,8"}, "address /mapped/3 9600 @7,8 t200 r1 text echo"},
        {{"scan", "--addresses", "1,5,9"},
         "scan /mapped/3 9600 @1 t50 r0 text 2400 4800 9600 19200 1,5,9"},
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

// Decimal digits within the range, nothing else; out of range is told apart from malformed.
TEST(WholeNumber, DigitsOnly) {
    using numeric::WholeNumberProblem;
    struct Case {
        const char *text;
        std::int64_t low, high;
        std::variant<std::int64_t, WholeNumberProblem> expected;
    };
    const Case cases[] = {
        {"1", 1, 247, std::int64_t(1)},
        {"247", 1, 247, std::int64_t(247)},
        {"007", 1, 247, std::int64_t(7)},
        {"0", 0, 10, std::int64_t(0)},
        {"0", 1, 247, WholeNumberProblem::OutOfRange},
        {"248", 1, 247, WholeNumberProblem::OutOfRange},
        {"99999999999999999999", 1, 247, WholeNumberProblem::OutOfRange},
        {"", 1, 247, WholeNumberProblem::NotWhole},
        {" 1", 1, 247, WholeNumberProblem::NotWhole},
        {"1 ", 1, 247, WholeNumberProblem::NotWhole},
        {"+1", 1, 247, WholeNumberProblem::NotWhole},
        {"-1", -5, 247, WholeNumberProblem::NotWhole},
        {"1.0", 1, 247, WholeNumberProblem::NotWhole},
        {"1e3", 1, 9999, WholeNumberProblem::NotWhole},
        {"0x10", 1, 247, WholeNumberProblem::NotWhole},
        {"\xd9\xa3", 1, 247, WholeNumberProblem::NotWhole}, // an Arabic-Indic digit
    };
    for (const Case &c : cases)
        EXPECT_EQ(numeric::parseWholeNumber(QString::fromUtf8(c.text), c.low, c.high), c.expected)
            << c.text;
}

// Each usage error in the command line's words; the process test checks one of them end to end.
TEST(CliOptions, UsageErrors) {
    struct Case {
        QStringList arguments;
        const char *message;
    };
    const Case cases[] = {
        {{}, "no command: read, poll, address, set-address, set or scan"},
        {{"reed"}, "unknown command 'reed'"},
        {{"--bogus", "read"}, "unknown option '--bogus'"},
        {{"read", "-q"}, "unknown option '-q'"},
        {{"read", "--baud"}, "--baud needs a value"},
        {{"--baud", "9601", "read"}, "--baud: '9601' is not one of 2400, 4800, 9600, 19200"},
        {{"--baud", "9600.0", "read"}, "--baud: '9600.0' is not one of 2400, 4800, 9600, 19200"},
        {{"--address", "248", "read"}, "--address: '248' is out of range (1 to 247)"},
        {{"--address", "1000000000000000000000", "read"},
         "--address: '1000000000000000000000' is out of range (1 to 247)"},
        {{"--address", "1.5", "read"}, "--address: '1.5' is not a whole number (digits only)"},
        {{"--address", " 1", "read"}, "--address: ' 1' is not a whole number (digits only)"},
        {{"--address", "+1", "read"}, "--address: '+1' is not a whole number (digits only)"},
        {{"--address", "1e9", "read"}, "--address: '1e9' is not a whole number (digits only)"},
        {{"--timeout", "1e3", "read"}, "--timeout: '1e3' is not a whole number (digits only)"},
        {{"--retries", "-1", "read"}, "--retries: '-1' is not a whole number (digits only)"},
        {{"--format", "xml", "read"}, "--format: 'xml' is not text, csv or json"},
        {{"--port", "COM0", "read"}, "--port: 'COM0' is not a port name COMn with n from 1 to 255"},
        {{"--port", "", "read"}, "--port: no port named"},
        {{"--port", "/dev/ttyUSB0\n", "read"}, "'/dev/ttyUSB0?' holds a control character"},
        {{"read", "now"}, "read takes no arguments"},
        {{"poll"}, "poll needs --interval MS"},
        {{"poll", "--interval", "49"}, "--interval: '49' is out of range (50 to 60000)"},
        {{"poll", "--interval", "50.5"}, "--interval: '50.5' is not a whole number (digits only)"},
        {{"--interval", "50", "poll"}, "--interval is an option of poll, after it"},
        {{"read", "--interval", "50"}, "--interval is an option of poll, after it"},
        {{"read", "--force"}, "--force is an option of set, after it"},
        {{"poll", "--interval", "50", "--count", "0"},
         "--count: '0' is out of range (1 to 2147483647)"},
        {{"poll", "--interval", "50", "--count", "5", "--duration", "5"},
         "--count and --duration exclude each other"},
        {{"set-address", "251"}, "set-address: '251' is out of range (1 to 250)"},
        {{"set-address", "248"},
         "set-address: 248 is beyond 247, where libmodbus could not read the module back (the "
         "window sets 248 to 250)"},
        {{"set-address", "17.9"}, "set-address: '17.9' is not a whole number (digits only)"},
        {{"set-address"}, "set-address takes NEW"},
        {{"set", "alarm-low", "5"},
         "set: 'alarm-low' is not one of range-coefficient, range-low, range-high, "
         "display-calibration"},
        {{"set", "range-high", "0x10"}, "set: '0x10' is not a decimal number"},
        {{"set", "range-high", "1e3"}, "set: '1e3' is not a decimal number"},
        {{"set", "range-high", " 3000"}, "set: ' 3000' is not a decimal number"},
        {{"set", "range-high", "65536"},
         "set: range-high 65536 is outside the module's range 1000 to 20000"},
        {{"set", "range-low", "-0.5"},
         "set: range-low -0.5 is outside the module's range 0 to 1000"},
        // What does not fit a register after the window's conversion (its edges:
        // numeric_text_test), and the number it comes to.
        {{"set", "--force", "range-low", "-0.5"},
         "set: range-low -0.5 comes to 65536 with --force (65536 added when negative, rounded to "
         "the nearest integer, halves to even), outside a register's 0 to 65535"},
        {{"set", "--force", "range-low", "-65536.6"},
         "set: range-low -65536.6 comes to -1 with --force (65536 added when negative, rounded to "
         "the nearest integer, halves to even), outside a register's 0 to 65535"},
        {{"set", "range-high"}, "set takes NAME VALUE"},
        {{"set", "range-high", "25000"},
         "set: range-high 25000 is outside the module's range 1000 to 20000; --force writes 25000"},
        {{"set", "--", "range-low", "-1"},
         "set: range-low -1 is outside the module's range 0 to 1000; --force writes 65535"},
        {{"set", "display-calibration", "50"},
         "set: display-calibration 50 is outside the module's range 100 to 2000; --force writes "
         "50"},
        {{"set", "range-coefficient", "0.5"},
         "set: range-coefficient 0.5 would be written as 0; --force writes 0"},
        {{"set", "range-coefficient", "1.5"},
         "set: range-coefficient 1.5 would be written as 2; --force writes 2"},
        {{"scan", "--bauds", "9600,1200"}, "--bauds: '1200' is not one of 2400, 4800, 9600, 19200"},
        {{"scan", "--addresses", "20-10"}, "--addresses: '20-10' runs backwards (write 10-20)"},
        {{"scan", "--addresses", "0-10"}, "--addresses: '0' is out of range (1 to 247)"},
        // Address lists (their problems: address_list_test); a list for one module refused.
        {{"--address", "1,5", "set", "range-high", "3000"},
         "set changes one module at a time: --address 1,5 names 2"},
        {{"set-address", "17", "-a", "1-3"},
         "set-address changes one module at a time: --address 1-3 names 3"},
        {{"--port", "tcp://127.0.0.1", "--echo", "read"},
         "--echo: Modbus TCP gives back no echo; --echo is for a serial line"},
        {{"poll", "-l", "50", "--until-stable", "5"}, "--until-stable: '5' is not SPREAD,SECONDS"},
        {{"poll", "-l", "50", "--until-stable", "5,0"},
         "--until-stable: SECONDS '0' is out of range (1 to 31622400)"},
        {{"poll", "-l", "50", "--until-stable", "5.5,10"},
         "--until-stable: SPREAD '5.5' is not a whole number (digits only)"},
        {{"read", "--until-stable", "5,10"}, "--until-stable is an option of poll, after it"},
    };
    const auto route = [](int port) { return QStringLiteral("/dev/ttyS%1").arg(port - 1); };
    for (const Case &c : cases) {
        const Invocation invocation = parseCommandLine(c.arguments, route);
        EXPECT_EQ(invocation.action, Invocation::Action::UsageError)
            << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(invocation.error.toStdString(), c.message);
    }
}

// The help as a user reads it. The commands, options and defaults it shows are written from the
// tables and constants the parser reads (WhatEachCommandLineAsksFor runs them); the settings'
// ranges are tried on the parser at both ends.
const QString kHelp = helpText();
const QString kFlatHelp = QString(kHelp).replace(QRegularExpression(QStringLiteral("\n +")), " ");

QString errorOf(const QStringList &arguments) {
    return parseCommandLine(arguments, [](int port) { return QString::number(port); }).error;
}

TEST(CliHelp, EverySettingIsTakenWithinTheRangeShown) {
    static const QRegularExpression list(QStringLiteral("values the module takes: (.*?)\\. VALUE"));
    QStringList names;
    for (const QString &item : list.match(kFlatHelp).captured(1).split(QStringLiteral(", "))) {
        const QStringList parts = item.split(u' '); // NAME LOW to HIGH
        ASSERT_EQ(parts.size(), 4) << item.toStdString();
        names << parts[0];
        const double low = parts[1].toDouble();
        const double high = parts[3].toDouble();
        for (const double end : {low, high}) // 0.5 is refused, but as a fraction
            EXPECT_FALSE(errorOf({"set", parts[0], QString::number(end)}).contains("outside"));
        for (const double beyond : {low - 1, high + 1})
            EXPECT_TRUE(errorOf({"set", parts[0], QString::number(beyond)})
                            .contains("outside the module's range " + parts.mid(1).join(u' ')))
                << item.toStdString();
    }
    EXPECT_EQ(errorOf({"set", "bogus", "1"}), "set: 'bogus' is not one of " + names.join(", "));
}

// The defaults the help names are the ones the parser uses when the option is absent: the help
// writes its own constants, the rows carry theirs.
TEST(CliHelp, TheDefaultsShownAreTheOnesUsed) {
    const auto shown = [](const char *pattern) {
        return QRegularExpression(QString::fromLatin1(pattern))
            .match(kFlatHelp)
            .capturedTexts()
            .mid(1)
            .join(u' ');
    };
    const auto route = [](int port) { return QStringLiteral("COM%1").arg(port); };
    const Invocation read = parseCommandLine({"read"}, route);
    const Invocation scan = parseCommandLine({"scan"}, route);
    QStringList bauds;
    for (const int baud : scan.bauds)
        bauds << QString::number(baud);
    EXPECT_EQ(read.line.port, shown("--port \\S+ the serial port \\(default (\\w+)\\)"));
    EXPECT_EQ(QString::number(read.line.baud), shown("--baud RATE [^(]*\\(default (\\d+)\\)"));
    EXPECT_EQ(QString::number(read.line.address()),
              shown("--address LIST [^(]*\\(default (\\d+)\\)"));
    EXPECT_EQ(QStringLiteral("%1 %2").arg(read.line.timeoutMs).arg(scan.line.timeoutMs),
              shown("--timeout MS [^(]*\\(default (\\d+); scan: (\\d+)\\)"));
    EXPECT_EQ(QStringLiteral("%1 %2").arg(read.line.retries).arg(scan.line.retries),
              shown("--retries N [^(]*\\(default (\\d+); scan: (\\d+)\\)"));
    EXPECT_EQ(bauds.join(u','), shown("rate of --bauds \\(default ([\\d,]+)\\)"));
}

// A script that sees status 129 finds in the help what ended the program.
TEST(CliHelp, NamesTheStatusOfEverySignalThatEndsTheProgram) {
    for (const int signal : kEndingSignals) {
        const QString status = QString::number(exitStatusFor(signal));
        EXPECT_TRUE(kHelp.contains("\n  " + status + "  ") ||
                    kHelp.contains(QRegularExpression("status\\s+" + status)))
            << status.toStdString();
    }
}

TEST(CliHelp, EveryLineFitsTheWidth) {
    for (const QString &line : kHelp.split(u'\n'))
        EXPECT_LE(line.size(), help::kWidth) << line.toStdString();
}

const QDateTime kTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));

TEST(RecordFormat, EveryFormatOfEveryRecord) {
    const auto reading = measurementRecord(kTime, 1, {812, 0, 1, 0, 2000, 0xFFFF, 0, 2000, 7, 7});
    const auto failed =
        failedRecord(kTime, modbus::RequestKind::Measurement, 1, "no reply, \"none\"");
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
         "\"range_coefficient\":1,\"range_high\":2000,\"range_low\":0,\"status\":\"accepted\","
         "\"time\":\"2026-12-07T09:41:05.123+08:00\"}\n"},
        {failed, Format::Text, TextLayout::Line, ""},
        {failed, Format::Csv, TextLayout::Line,
         "2026-12-07T09:41:05.123+08:00,reply,measurement,,,rejected,,,,,,,,,1,"
         "\"no reply, \"\"none\"\"\"\r\n"},
        {failed, Format::Json, TextLayout::Line,
         "{\"address\":1,\"error\":\"no reply, \\\"none\\\"\",\"kind\":\"measurement\","
         "\"status\":\"rejected\",\"time\":\"2026-12-07T09:41:05.123+08:00\"}\n"},
        {setting, Format::Text, TextLayout::Block, "address     17\nrange_high  3000\n"},
        {setting, Format::Csv, TextLayout::Block,
         "2026-12-07T09:41:05.123+08:00,reply,parameter-write,,,accepted,,,,,3000,,,,17,\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatRecord(c.record, c.format, c.layout).toStdString(), c.expected);
    EXPECT_EQ(recordHeader(Format::Csv), modbus::csvHeader() + "\r\n");
    EXPECT_EQ(recordHeader(Format::Json), QString());
}

// A module the scan found: at its rate on a serial line, with no rate over Modbus TCP.
TEST(RecordFormat, ScanFinds) {
    struct Case {
        Format format;
        std::optional<int> baud;
        const char *expected; // header and line
    };
    const Case cases[] = {
        {Format::Csv, 4800, "address,baud\r\n17,4800\r\n"},
        {Format::Json, 4800, "{\"address\":17,\"baud\":4800}\n"},
        {Format::Text, 4800, "address 17, 4800 baud\n"},
        {Format::Csv, std::nullopt, "address\r\n17\r\n"},
        {Format::Json, std::nullopt, "{\"address\":17}\n"},
        {Format::Text, std::nullopt, "address 17\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ((scanHeader(c.format, c.baud.has_value()) + formatFind(17, c.baud, c.format))
                      .toStdString(),
                  c.expected);
}

// poll --until-stable, 5 ppm over 10 s. Each module's readings, one a second from 0 s: a digit
// is 450 ppm plus that, x a failure. After the last, each module is "settled S", "wide S" (a
// whole window, its spread S too wide), "short" (less than a window since the start or the last
// failure) or "failed".
TEST(Settling, EachModuleWithinTheSpreadOverAWholeWindow) {
    const std::pair<const char *, const char *> cases[] = {
        {"1=01234321012", "1 settled 4"},
        {"1=01234567890", "1 wide 9"},
        {"1=0000000000", "1 short"},
        {"1=90000000000", "1 wide 9"},     // an excursion at the window's start counts
        {"1=900000000000", "1 settled 0"}, // one older than the window does not
        {"1=00000x0000000000", "1 short"}, // a failure inside the window starts it again
        {"1=00000x00000000000", "1 settled 0"},
        {"1=00000000000x", "1 failed"},
        {"1=00000000000 5=01234567890", "1 settled 0; 5 wide 9"},
    };
    for (const auto &[readings, expected] : cases) {
        std::vector<int> addresses;
        for (const QString &module : QString(readings).split(u' '))
            addresses.push_back(module.section(u'=', 0, 0).toInt());
        Settling settling(5, std::chrono::seconds(10), addresses);
        for (const QString &module : QString(readings).split(u' ')) {
            const int address = module.section(u'=', 0, 0).toInt();
            const QString values = module.section(u'=', 1);
            for (int second = 0; second < values.size(); ++second) {
                if (values[second] == u'x')
                    settling.failed(address);
                else
                    settling.accepted(address,
                                      Settling::Clock::time_point{} + std::chrono::seconds(second),
                                      450 + values[second].digitValue());
            }
        }
        QStringList states;
        for (const int address : addresses) {
            const Settling::State state = settling.state(address);
            const QString spread = QString::number(state.spread);
            states << QString::number(address) + u' ' +
                          (!state.last     ? QStringLiteral("failed")
                           : state.settled ? QStringLiteral("settled ") + spread
                           : state.covered ? QStringLiteral("wide ") + spread
                                           : QStringLiteral("short"));
        }
        EXPECT_EQ(states.join(QStringLiteral("; ")).toStdString(), expected) << readings;
        EXPECT_EQ(settling.allSettled(),
                  !states.join(u' ').contains(QRegularExpression("wide|short|failed")))
            << readings;
    }
}

} // namespace
