// The window's own options, parsed before any window exists.
#include "app/command_line.h"
#include "core/exchange_record.h"
#include "core/port_mapping.h"

#include <gtest/gtest.h>

namespace {

TEST(ToolCommandLine, OptionsAndUsageErrors) {
    using Action = ToolCommandLine::Action;
    struct Case {
        QStringList arguments;
        Action action;
    };
    const Case cases[] = {
        {{}, Action::RunWindow},
        {{"--port", "COM1=/dev/ttyUSB0", "--port=COM2=/dev/ttyUSB1"}, Action::RunWindow},
        {{"--lang", "en"}, Action::RunWindow},
        {{"--lang", "zh"}, Action::RunWindow},
        {{"--help"}, Action::ShowHelp},
        {{"-h", "--bogus"}, Action::UsageError},
        {{"-V"}, Action::ShowVersion},
        {{"--list-ports", "--port", "COM2=/dev/ttyS0"}, Action::ListPorts},
        {{"--save-port", "COM3=/dev/ttyUSB0"}, Action::EditSavedPorts},
        {{"--forget-port", "COM3"}, Action::EditSavedPorts},
        {{"--forget-port", "COM3", "--list-ports"}, Action::UsageError},
        {{"--bogus"}, Action::UsageError},
        {{"-x"}, Action::UsageError},
        {{"--port"}, Action::UsageError},
        {{"--port", "COM1"}, Action::UsageError},
        {{"--port", "COM256=/dev/ttyUSB0"}, Action::UsageError},
        {{"--save-port", "COM0=/dev/ttyUSB0"}, Action::UsageError},
        {{"--forget-port", "ttyUSB0"}, Action::UsageError},
        {{"--lang", "fr"}, Action::UsageError},
        {{"COM1"}, Action::UsageError},
    };
    for (const Case &c : cases) {
        const ToolCommandLine parsed = parseToolCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, c.action) << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(parsed.error.isEmpty(), c.action != Action::UsageError);
        EXPECT_FALSE(parsed.error.contains(u'\n'));
    }
    const ToolCommandLine run = parseToolCommandLine(
        {"--port", "COM1=/dev/ttyUSB0", "--port", "COM1=/dev/ttyUSB1", "--lang", "EN"});
    EXPECT_EQ(run.options.ports, (PortMap{{1, "/dev/ttyUSB1"}})); // the last one counts
    EXPECT_EQ(run.options.language, QStringLiteral("en"));
}

} // namespace

namespace {

// The help's log paragraph names what the records write: every column, and the kind and the
// status a record of each kind of request and each status is written with.
TEST(ToolCommandLine, HelpNamesTheLogAsItIsWritten) {
    const QString help = toolHelpText().simplified();
    QStringList names = modbus::csvHeader().split(u',');
    modbus::ExchangeRecord record;
    for (const auto kind : modbus::everyRequestKind()) {
        for (const auto status : modbus::everyStatus()) {
            record.kind = kind;
            record.status = status;
            const QStringList columns = modbus::csvLine(record).split(u',');
            names << columns[2] << columns[5];
        }
    }
    for (const QString &name : names)
        EXPECT_TRUE(help.contains(name)) << name.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("1..%1").arg(kHighestPortNumber)));
}

} // namespace
