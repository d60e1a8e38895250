#include "cli_tables.h"

#include "interrupts.h"
#include "tcp_address.h"

#include "core/exchange_record.h"
#include "core/help_text.h"
#include "core/input_checks.h"

#include <algorithm>

namespace cli {
namespace {

constexpr int kHelpIndent = 23;

QString latin(std::string_view view) {
    return QString::fromLatin1(view.data(), qsizetype(view.size()));
}

QList<const modbus::ModuleField *> settingFields() {
    QList<const modbus::ModuleField *> fields;
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (!field.settingName.empty())
            fields << &field;
    }
    return fields;
}

QString settingsWithRanges() {
    QStringList names;
    for (const modbus::ModuleField *field : settingFields())
        names << latin(field->settingName) + u' ' + rangeText(*field->range);
    return names.join(QStringLiteral(", "));
}

// "set [--force] NAME VALUE"
QString synopsis(const CommandInfo &info) {
    QStringList words{info.name};
    if (!info.options.isEmpty())
        words << info.options;
    return (words + info.arguments).join(u' ');
}

struct ExitStatusInfo {
    int status;
    QString meaning;
};

QList<ExitStatusInfo> exitStatuses() {
    return {
        {kExitSuccess, QStringLiteral("success")},
        {kExitNoAnswer,
         QStringLiteral("the module did not answer, answered with a Modbus exception or an "
                        "invalid frame, or read back another value (the reason on stderr); poll: "
                        "a reading failed; scan: no module answered")},
        {kExitUsage, QStringLiteral("a usage error: an unknown option, a missing or malformed "
                                    "value, a value out of range (nothing is sent)")},
        {kExitPort, QStringLiteral("the port could not be opened, is in use by another program "
                                   "(its lock file in /var/lock names it), or vanished")},
        {kExitOutput, QStringLiteral("standard output could not be written (a full disk, a closed "
                                     "file): the reason on stderr")},
        {exitStatusFor(SIGINT), QStringLiteral("ended by SIGINT (Ctrl+C), at once, also in the "
                                               "middle of an exchange; every line printed is "
                                               "whole")},
        {exitStatusFor(SIGTERM), QStringLiteral("ended by SIGTERM, as by SIGINT")},
    };
}

} // namespace

QString baudRateList(const QString &separator, const QString &last) {
    QStringList rates;
    for (const int rate : kModuleBaudRates)
        rates << QString::number(rate);
    const QString tail = rates.takeLast();
    return rates.join(separator) + last + tail;
}

QString rangeText(const modbus::SettingRange &range) {
    return QStringLiteral("%1 to %2")
        .arg(QString::number(range.lowest, 'f', range.decimals),
             QString::number(range.highest, 'f', range.decimals));
}

QString settingNames() {
    QStringList names;
    for (const modbus::ModuleField *field : settingFields())
        names << latin(field->settingName);
    return names.join(QStringLiteral(", "));
}

const QList<CommandInfo> &commandTable() {
    static const QList<CommandInfo> table{
        {Command::Read,
         QStringLiteral("read"),
         {},
         {},
         QStringLiteral("read one measurement and print every decoded field"),
         nullptr,
         showMeasurement,
         nullptr},
        {Command::Poll,
         QStringLiteral("poll"),
         QStringLiteral("--interval MS [--count N | --duration SECONDS]"),
         {},
         QStringLiteral("read every MS milliseconds (%1 to %2), one reading per line with an ISO "
                        "8601 timestamp: N readings, for SECONDS (at most %3), or until "
                        "interrupted")
             .arg(modbus::kShortestPollInterval)
             .arg(modbus::kLongestPollInterval)
             .arg(kLongestDurationSeconds),
         readPoll,
         poll,
         nullptr},
        {Command::Address,
         QStringLiteral("address"),
         {},
         {},
         QStringLiteral("read the address of the module that answers at --address"),
         nullptr,
         showAddress,
         nullptr},
        {Command::SetAddress,
         QStringLiteral("set-address"),
         {},
         {QStringLiteral("NEW")},
         QStringLiteral("change the module's address to NEW, then read it back at NEW (also when "
                        "the change's echo is lost); %1 to %2: the module takes up to %3, but "
                        "libmodbus reaches no further than %2 (the window sets %4 to %3)")
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)
             .arg(modbus::kHighestModuleAddress)
             .arg(kHighestReachableAddress + 1),
         readSetAddress,
         changeAddress,
         nullptr},
        {Command::Set,
         QStringLiteral("set"),
         QStringLiteral("[--force]"),
         {QStringLiteral("NAME"), QStringLiteral("VALUE")},
         QStringLiteral("write one configuration register, then read it back. NAME and the "
                        "values the module takes: %1. VALUE is a decimal number; one outside "
                        "that range, or one the register cannot hold as it is (a fraction), is "
                        "refused and nothing is sent. --force writes it as the window does: "
                        "65536 added when negative, rounded to the nearest integer (halves to "
                        "even), 0 to 65535 after that")
             .arg(settingsWithRanges()),
         readSet,
         writeSetting,
         nullptr},
        {Command::Scan,
         QStringLiteral("scan"),
         QStringLiteral("[--bauds LIST] [--addresses FROM-TO]"),
         {},
         QStringLiteral("find every module that answers: at each rate of LIST (default %1), each "
                        "address FROM to TO (default %2-%3); prints the address and baud rate of "
                        "each find as it happens, progress on stderr when that is a terminal")
             .arg(baudRateList(QStringLiteral(","), QStringLiteral(",")))
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress),
         readScan,
         nullptr,
         scan,
         kDefaultScanTimeoutMs,
         kDefaultScanRetries},
    };
    return table;
}

const QList<OptionInfo> &optionTable() {
    static const QList<OptionInfo> table{
        {QStringLiteral("p"),
         QStringLiteral("port"),
         QStringLiteral("COMn|DEVICE"),
         {},
         QStringLiteral("the serial port (default %1): COMn leads where the window's port list "
                        "leads it (the saved mapping, /dev/COMn, /dev/ttyS<n-1>), or a device "
                        "such as /dev/ttyUSB0 (a bare name such as ttyUSB0 lies in /dev); or "
                        "tcp://HOST[:PORT] for Modbus TCP (default port %2; the unit id is "
                        "--address)")
             .arg(kDefaultPort)
             .arg(kModbusTcpPort)},
        {QStringLiteral("b"),
         QStringLiteral("baud"),
         QStringLiteral("RATE"),
         {},
         QStringLiteral("%1 (default %2); always N,8,1")
             .arg(baudRateList(QStringLiteral(", "), QStringLiteral(" or ")))
             .arg(Line{}.baud)},
        {QStringLiteral("a"),
         QStringLiteral("address"),
         QStringLiteral("N"),
         {},
         QStringLiteral("the module's address, %1 to %2, libmodbus's RTU range (default %3)")
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)
             .arg(Line{}.address)},
        {{},
         QStringLiteral("timeout"),
         QStringLiteral("MS"),
         {},
         QStringLiteral("how long a reply may take beyond its time on the wire, 1 to %1 "
                        "(default %2; scan: %3)")
             .arg(kLongestTimeoutMs)
             .arg(kDefaultTimeoutMs)
             .arg(kDefaultScanTimeoutMs)},
        {{},
         QStringLiteral("retries"),
         QStringLiteral("N"),
         {},
         QStringLiteral("further tries after no reply or an invalid one, 0 to %1 (default %2; "
                        "scan: %3); an exception reply is final")
             .arg(kMostRetries)
             .arg(kDefaultRetries)
             .arg(kDefaultScanRetries)},
        {QStringLiteral("f"),
         QStringLiteral("format"),
         QStringLiteral("FORMAT"),
         {},
         QStringLiteral("text (default), csv (one row per reading, the columns of the window's "
                        "log: %1) or json (one object per reading with time, kind, status, "
                        "address and the fields by name, error for a failed one: JSON Lines for "
                        "poll)")
             .arg(modbus::csvHeader().split(u',').join(QStringLiteral(", ")))},
        {QStringLiteral("l"), QStringLiteral("interval"), QStringLiteral("MS"), Command::Poll,
         QStringLiteral("poll: the time from one reading's start to the next")},
        {{},
         QStringLiteral("count"),
         QStringLiteral("N"),
         Command::Poll,
         QStringLiteral("poll: stop after N readings")},
        {{},
         QStringLiteral("duration"),
         QStringLiteral("SECONDS"),
         Command::Poll,
         QStringLiteral("poll: stop after SECONDS")},
        {{},
         QStringLiteral("bauds"),
         QStringLiteral("LIST"),
         Command::Scan,
         QStringLiteral("scan: the rates to try, separated by commas")},
        {{},
         QStringLiteral("addresses"),
         QStringLiteral("FROM-TO"),
         Command::Scan,
         QStringLiteral("scan: the addresses to try")},
        {{},
         QStringLiteral("force"),
         {},
         Command::Set,
         QStringLiteral("set: write a value outside the module's range, converted as the window "
                        "converts it")},
        {QStringLiteral("h"),
         QStringLiteral("help"),
         {},
         {},
         QStringLiteral("show this help and exit")},
        {QStringLiteral("V"),
         QStringLiteral("version"),
         {},
         {},
         QStringLiteral("show the version and exit")},
    };
    return table;
}

const CommandInfo &commandInfo(Command command) {
    const auto &table = commandTable();
    return *std::find_if(table.begin(), table.end(),
                         [command](const CommandInfo &info) { return info.command == command; });
}

QString helpText() {
    QString help =
        QStringLiteral("Usage: gx7140r-cli [OPTION]... COMMAND [ARGUMENT]...\n") +
        help::wrapped(QStringLiteral("Read and configure GX7140R carbon-dioxide sensor "
                                     "modules from scripts and production lines: a Modbus "
                                     "RTU master on a serial line that prints the module's "
                                     "own view of its registers."),
                      0) +
        QStringLiteral("\nCommands:\n");
    for (const CommandInfo &info : commandTable()) {
        help += help::entry(synopsis(info), info.description, kHelpIndent);
    }
    help += QStringLiteral("\nOptions:\n");
    for (const OptionInfo &info : optionTable()) {
        QString term = info.shortName.isEmpty() ? QStringLiteral("    ")
                                                : QStringLiteral("-%1, ").arg(info.shortName);
        term += QStringLiteral("--") + info.name;
        if (!info.valueName.isEmpty())
            term += u' ' + info.valueName;
        help += help::entry(term, info.description, kHelpIndent);
    }
    help +=
        QStringLiteral("\n") +
        help::wrapped(QStringLiteral("Options take their value as --name VALUE, --name=VALUE or, "
                                     "for the short forms, -x VALUE; numbers are decimal digits "
                                     "only."),
                      0) +
        QStringLiteral("\n") +
        help::wrapped(QStringLiteral("The port is locked as the window locks it (LCK..NAME in "
                                     "/var/lock, with the process number; a lock left by a process "
                                     "that is gone is taken over) and opened exclusively; a port "
                                     "another program holds is refused (exit status %1). A closed "
                                     "pipe on standard output (poll | head) ends the program "
                                     "silently with status %2, as any filter.")
                          .arg(kExitPort)
                          .arg(exitStatusFor(SIGPIPE)),
                      0);
    help += QStringLiteral("\nExit status:\n");
    for (const ExitStatusInfo &status : exitStatuses())
        help += QStringLiteral("  ") + QString::number(status.status).leftJustified(5) +
                help::wrapped(status.meaning, 7).mid(7);
    return help;
}

QString versionText() {
    return QStringLiteral("gx7140r-cli " GX7140R_VERSION "\n");
}

} // namespace cli
