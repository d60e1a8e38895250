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
                        "a reading failed; with a LIST of addresses: a reading of any module "
                        "failed (the others are read all the same); poll --until-stable: a "
                        "module did not settle; scan: no module answered")},
        {kExitUsage, QStringLiteral("a usage error: an unknown option, a missing or malformed "
                                    "value, a value out of range, a LIST of addresses for set "
                                    "or set-address, --echo over Modbus TCP (nothing is sent)")},
        {kExitPort, QStringLiteral("the port could not be opened, is in use by another program "
                                   "(its lock file in /var/lock names it), or vanished")},
        {kExitOutput, QStringLiteral("standard output could not be written (a full disk, a closed "
                                     "file): the reason on stderr")},
        {exitStatusFor(SIGINT), QStringLiteral("ended by SIGINT (Ctrl+C), at once, also in the "
                                               "middle of an exchange; every line printed is "
                                               "whole")},
        {exitStatusFor(SIGTERM), QStringLiteral("ended by SIGTERM, as by SIGINT")},
        {exitStatusFor(SIGHUP), QStringLiteral("ended by SIGHUP (the terminal closed), as by "
                                               "SIGINT")},
        {exitStatusFor(SIGQUIT), QStringLiteral("ended by SIGQUIT, as by SIGINT")},
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

QString settingsWithRanges() {
    QStringList names;
    for (const modbus::ModuleField *field : settingFields())
        names << latin(field->settingName) + u' ' + rangeText(*field->range);
    return names.join(QStringLiteral(", "));
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
         QStringLiteral("LIST"),
         {},
         QStringLiteral("the module's address, %1 to %2, libmodbus's RTU range (default %3); "
                        "for read, poll and address a LIST of modules on one line, read in turn "
                        "each round, one line each: addresses and ranges separated by commas "
                        "(1,5,9 or 3-7 or 1,3-7)")
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)
             .arg(Line{}.address())},
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
        {{},
         QStringLiteral("echo"),
         {},
         {},
         QStringLiteral("the line gives back every request before the reply, as a two-wire "
                        "RS-485 adapter without echo suppression does: the echo is read, "
                        "checked against the request and taken off; for a serial line, not "
                        "Modbus TCP")},
        {QStringLiteral("f"),
         QStringLiteral("format"),
         QStringLiteral("FORMAT"),
         {},
         QStringLiteral("text (default), csv (one row per reading, the columns of the window's "
                        "log: %1) or json (one object per reading with time, kind, status, "
                        "address and the fields by name, error for a failed one: JSON Lines for "
                        "poll)")
             .arg(modbus::csvHeader().split(u',').join(QStringLiteral(", ")))},
        {QStringLiteral("l"), QStringLiteral("interval"), QStringLiteral("MS"),
         QStringLiteral("poll"),
         QStringLiteral("poll: the time from one round's start to the next (a round reads each "
                        "module once); a round that takes longer is followed at once by the "
                        "next, and rounds that do not fit are said once on stderr")},
        {{},
         QStringLiteral("count"),
         QStringLiteral("N"),
         QStringLiteral("poll"),
         QStringLiteral("poll: stop after N rounds")},
        {{},
         QStringLiteral("duration"),
         QStringLiteral("SECONDS"),
         QStringLiteral("poll"),
         QStringLiteral("poll: stop after SECONDS")},
        {{},
         QStringLiteral("until-stable"),
         QStringLiteral("SPREAD,SECONDS"),
         QStringLiteral("poll"),
         QStringLiteral("poll: stop once the concentration of every module stayed within SPREAD "
                        "ppm (highest minus lowest) over the last SECONDS, with no failed reading "
                        "among them; a line a module on stderr tells where it settled. When "
                        "--count or --duration ends first, the same lines tell the spread of "
                        "those that did not settle, exit status %1")
             .arg(kExitNoAnswer)},
        {{},
         QStringLiteral("bauds"),
         QStringLiteral("LIST"),
         QStringLiteral("scan"),
         QStringLiteral("scan: the rates to try, separated by commas")},
        {{},
         QStringLiteral("addresses"),
         QStringLiteral("LIST"),
         QStringLiteral("scan"),
         QStringLiteral("scan: the addresses to try, as --address lists them (FROM-TO, or 1,5,9)")},
        {{},
         QStringLiteral("force"),
         {},
         QStringLiteral("set"),
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

const CommandInfo *commandNamed(const QString &name) {
    for (const CommandInfo &info : commandTable()) {
        if (info.name == name)
            return &info;
    }
    return nullptr;
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
