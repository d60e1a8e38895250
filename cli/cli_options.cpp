#include "cli_options.h"
#include "tcp_address.h"

#include "interrupts.h"

#include "core/exchange_record.h"
#include "core/help_text.h"
#include "core/input_checks.h"
#include "core/line_settings.h"
#include "core/numeric_text.h"
#include "core/port_mapping.h"
#include "core/whole_number.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace cli {
namespace {

constexpr int kLongestDurationSeconds = 366 * 24 * 3600;
constexpr int kMostCount = std::numeric_limits<int>::max();
constexpr int kLowestRegisterValue = -65536;
constexpr int kHighestRegisterValue = 65535;
const QString kDefaultPort = QStringLiteral("COM1");
constexpr int kHelpIndent = 23;

struct CommandInfo {
    Command command;
    QString name;
    QString synopsis; // its arguments and options
    QString description;
};

struct OptionInfo {
    QString shortName; // empty when it has none
    QString name;
    QString valueName; // empty for a flag
    std::optional<Command> only;
    QString description;
};

QString latin(std::string_view view) {
    return QString::fromLatin1(view.data(), qsizetype(view.size()));
}

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

QList<const modbus::ModuleField *> settingFields() {
    QList<const modbus::ModuleField *> fields;
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (!field.settingName.empty())
            fields << &field;
    }
    return fields;
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

const QList<CommandInfo> &commandTable() {
    static const QList<CommandInfo> table{
        {Command::Read,
         QStringLiteral("read"),
         {},
         QStringLiteral("read one measurement and print every decoded field")},
        {Command::Poll, QStringLiteral("poll"),
         QStringLiteral("--interval MS [--count N | --duration SECONDS]"),
         QStringLiteral("read every MS milliseconds (%1 to %2), one reading per line with an ISO "
                        "8601 timestamp: N readings, for SECONDS (at most %3), or until "
                        "interrupted")
             .arg(modbus::kShortestPollInterval)
             .arg(modbus::kLongestPollInterval)
             .arg(kLongestDurationSeconds)},
        {Command::Address,
         QStringLiteral("address"),
         {},
         QStringLiteral("read the address of the module that answers at --address")},
        {Command::SetAddress, QStringLiteral("set-address"), QStringLiteral("NEW"),
         QStringLiteral("change the module's address to NEW, then read it back at NEW (also when "
                        "the change's echo is lost); %1 to %2: the module takes up to %3, but "
                        "libmodbus reaches no further than %2 (the window sets %4 to %3)")
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)
             .arg(modbus::kHighestModuleAddress)
             .arg(kHighestReachableAddress + 1)},
        {Command::Set, QStringLiteral("set"), QStringLiteral("[--force] NAME VALUE"),
         QStringLiteral("write one configuration register, then read it back. NAME and the "
                        "values the module takes: %1. VALUE is a decimal number; one outside "
                        "that range, or one the register cannot hold as it is (a fraction), is "
                        "refused and nothing is sent. --force writes it as the window does: "
                        "65536 added when negative, rounded to the nearest integer (halves to "
                        "even), 0 to 65535 after that")
             .arg(settingsWithRanges())},
        {Command::Scan, QStringLiteral("scan"),
         QStringLiteral("[--bauds LIST] [--addresses FROM-TO]"),
         QStringLiteral("find every module that answers: at each rate of LIST (default %1), each "
                        "address FROM to TO (default %2-%3); prints the address and baud rate of "
                        "each find as it happens, progress on stderr when that is a terminal")
             .arg(baudRateList(QStringLiteral(","), QStringLiteral(",")))
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)},
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

const CommandInfo &specOf(Command command) {
    const auto &table = commandTable();
    return *std::find_if(table.begin(), table.end(),
                         [command](const CommandInfo &info) { return info.command == command; });
}

// Every option in one parser: which command an option belongs to is checked after parsing, so
// that misplaced options are told as such rather than as unknown.
void addOptions(QCommandLineParser &parser) {
    for (const OptionInfo &info : optionTable()) {
        QStringList names{info.name};
        if (!info.shortName.isEmpty())
            names.prepend(info.shortName);
        parser.addOption(QCommandLineOption(names, info.description, info.valueName));
    }
}

// QCommandLineParser takes "-5" for an option; as the value of set (set --force range-low -5)
// it is a number. Such words are marked before parsing and unmarked when read.
const QChar kNumberMark = u'\x1f';
const QRegularExpression kNegativeNumber(QStringLiteral("^-[0-9.]"));

QStringList markNegativeNumbers(QStringList words) {
    for (QString &word : words) {
        if (kNegativeNumber.match(word).hasMatch())
            word.prepend(kNumberMark);
    }
    return words;
}

QString unmarked(QString word) {
    if (word.startsWith(kNumberMark))
        word.remove(0, 1);
    return word;
}

// What went wrong in a parse, in the command line's own words.
QString parseError(const QCommandLineParser &parser) {
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        return QStringLiteral("unknown option '%1%2'")
            .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
    }
    static const QRegularExpression missing(QStringLiteral("Missing value after '(.*)'"));
    if (const auto match = missing.match(parser.errorText()); match.hasMatch())
        return QStringLiteral("%1 needs a value").arg(match.captured(1));
    return parser.errorText().trimmed();
}

// The options of both passes: those before the command and those after it (the later wins).
struct Options {
    QCommandLineParser before;
    QCommandLineParser after;
    bool afterParsed = false;

    bool isSet(const QString &name) const {
        return before.isSet(name) || (afterParsed && after.isSet(name));
    }
    QString value(const QString &name) const {
        return unmarked(afterParsed && after.isSet(name) ? after.value(name) : before.value(name));
    }
};

bool hasControlCharacter(const QString &word) {
    return std::any_of(word.begin(), word.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// A whole-number option read into `target` when it is given; false, with the message, when it
// is malformed or out of range.
bool readWhole(const Options &options, const QString &name, int low, int high, int &target,
               QString &error) {
    if (!options.isSet(name))
        return true;
    const QString text = options.value(name);
    const auto number = numeric::parseWholeNumber(text, low, high);
    if (const auto *problem = std::get_if<numeric::WholeNumberProblem>(&number)) {
        error = QStringLiteral("--%1: ").arg(name) +
                numeric::wholeNumberProblemText(text, *problem, low, high);
        return false;
    }
    target = int(std::get<std::int64_t>(number));
    return true;
}

std::optional<int> baudRate(const QString &option, const QString &text, QString &error) {
    const auto number = numeric::parseWholeNumber(text, 0, std::numeric_limits<int>::max());
    const auto *rate = std::get_if<std::int64_t>(&number);
    if (!rate || std::find(kModuleBaudRates.begin(), kModuleBaudRates.end(), int(*rate)) ==
                     kModuleBaudRates.end()) {
        error = QStringLiteral("%1: '%2' is not one of %3")
                    .arg(option, text, baudRateList(QStringLiteral(", "), QStringLiteral(", ")));
        return std::nullopt;
    }
    return int(*rate);
}

// COMn goes where the window's port list takes it; anything else names a device.
std::optional<QString> deviceFor(const QString &port, const PortRoute &route, QString &error) {
    if (isTcpAddress(port))
        return checkedTcpAddress(port, error);
    const bool comName =
        port.size() > 3 && port.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) &&
        std::all_of(port.begin() + 3, port.end(), [](QChar c) { return c.isDigit(); });
    if (comName) {
        const auto number = parsePortName(port);
        if (const QString *problem = std::get_if<QString>(&number)) {
            error = QStringLiteral("--port: ") + *problem;
            return std::nullopt;
        }
        return route(std::get<int>(number));
    }
    if (port.trimmed().isEmpty()) {
        error = QStringLiteral("--port: no port named");
        return std::nullopt;
    }
    return normalizedDevice(port);
}

bool readLine(const Options &options, const PortRoute &route, Invocation &invocation,
              QString &error) {
    Line &line = invocation.line;
    if (options.isSet(QStringLiteral("format"))) {
        const QString format = options.value(QStringLiteral("format"));
        const QHash<QString, Format> formats{{QStringLiteral("text"), Format::Text},
                                             {QStringLiteral("csv"), Format::Csv},
                                             {QStringLiteral("json"), Format::Json}};
        if (!formats.contains(format)) {
            error = QStringLiteral("--format: '%1' is not text, csv or json").arg(format);
            return false;
        }
        invocation.format = formats.value(format);
    }
    line.port = options.isSet(QStringLiteral("port")) ? options.value(QStringLiteral("port"))
                                                      : kDefaultPort;
    const auto device = deviceFor(line.port, route, error);
    if (!device)
        return false;
    line.device = *device;
    if (options.isSet(QStringLiteral("baud"))) {
        const auto rate =
            baudRate(QStringLiteral("--baud"), options.value(QStringLiteral("baud")), error);
        if (!rate)
            return false;
        line.baud = *rate;
    }
    const bool scan = invocation.command == Command::Scan;
    line.timeoutMs = scan ? kDefaultScanTimeoutMs : kDefaultTimeoutMs;
    line.retries = scan ? kDefaultScanRetries : kDefaultRetries;
    return readWhole(options, QStringLiteral("address"), modbus::kLowestModuleAddress,
                     kHighestReachableAddress, line.address, error) &&
           readWhole(options, QStringLiteral("timeout"), 1, kLongestTimeoutMs, line.timeoutMs,
                     error) &&
           readWhole(options, QStringLiteral("retries"), 0, kMostRetries, line.retries, error);
}

bool readSetAddress(const QString &text, Invocation &invocation, QString &error) {
    const auto number = numeric::parseWholeNumber(text, modbus::kLowestModuleAddress,
                                                  modbus::kHighestModuleAddress);
    if (const auto *problem = std::get_if<numeric::WholeNumberProblem>(&number)) {
        error = QStringLiteral("set-address: ") +
                numeric::wholeNumberProblemText(text, *problem, modbus::kLowestModuleAddress,
                                                modbus::kHighestModuleAddress);
        return false;
    }
    const int target = int(std::get<std::int64_t>(number));
    if (target > kHighestReachableAddress) {
        error = QStringLiteral("set-address: %1 is beyond %2, where libmodbus could not read the "
                               "module back (the window sets %3 to %4)")
                    .arg(target)
                    .arg(kHighestReachableAddress)
                    .arg(kHighestReachableAddress + 1)
                    .arg(modbus::kHighestModuleAddress);
        return false;
    }
    invocation.newAddress = target;
    return true;
}

// A value the module's range allows and the register holds as it is; with --force, whatever the
// window's conversion makes of it.
bool readSet(const QString &name, const QString &text, Invocation &invocation, QString &error) {
    const QByteArray latinName = name.toLatin1();
    invocation.field =
        modbus::fieldForSettingName(std::string_view(latinName.constData(), latinName.size()));
    if (!invocation.field) {
        error = QStringLiteral("set: '%1' is not one of %2").arg(name, settingNames());
        return false;
    }
    static const QRegularExpression decimal(QStringLiteral("^-?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    const auto number = decimal.match(text).hasMatch() ? numeric::parseNumber(text) : std::nullopt;
    const auto written = number ? numeric::wrappedRegisterValue(*number) : std::nullopt;
    if (!written) {
        error = QStringLiteral("set: '%1' is not a decimal number from %2 to %3")
                    .arg(text)
                    .arg(kLowestRegisterValue)
                    .arg(kHighestRegisterValue);
        return false;
    }
    invocation.value = *written;
    if (invocation.force)
        return true;
    const modbus::SettingRange &range = *invocation.field->range;
    if (*number < range.lowest || *number > range.highest) {
        error = QStringLiteral("set: %1 %2 is outside the module's range %3; --force writes %4")
                    .arg(name, text, rangeText(range))
                    .arg(*written);
        return false;
    }
    if (double(*written) != *number) {
        error = QStringLiteral("set: %1 %2 would be written as %3; --force writes %3")
                    .arg(name, text)
                    .arg(*written);
        return false;
    }
    return true;
}

bool readPoll(const Options &options, Invocation &invocation, QString &error) {
    if (!options.isSet(QStringLiteral("interval"))) {
        error = QStringLiteral("poll needs --interval MS");
        return false;
    }
    if (options.isSet(QStringLiteral("count")) && options.isSet(QStringLiteral("duration"))) {
        error = QStringLiteral("--count and --duration exclude each other");
        return false;
    }
    int count = 0;
    int duration = 0;
    if (!readWhole(options, QStringLiteral("interval"), modbus::kShortestPollInterval,
                   modbus::kLongestPollInterval, invocation.intervalMs, error) ||
        !readWhole(options, QStringLiteral("count"), 1, kMostCount, count, error) ||
        !readWhole(options, QStringLiteral("duration"), 1, kLongestDurationSeconds, duration,
                   error))
        return false;
    if (count > 0)
        invocation.count = count;
    if (duration > 0)
        invocation.durationSeconds = duration;
    return true;
}

std::optional<int> rangeEnd(const QString &text, QString &error) {
    const auto number =
        numeric::parseWholeNumber(text, modbus::kLowestModuleAddress, kHighestReachableAddress);
    if (const auto *problem = std::get_if<numeric::WholeNumberProblem>(&number)) {
        error = QStringLiteral("--addresses: ") +
                numeric::wholeNumberProblemText(text, *problem, modbus::kLowestModuleAddress,
                                                kHighestReachableAddress);
        return std::nullopt;
    }
    return int(std::get<std::int64_t>(number));
}

bool readScan(const Options &options, Invocation &invocation, QString &error) {
    const bool tcp = isTcpAddress(invocation.line.device);
    if (tcp && options.isSet(QStringLiteral("bauds"))) {
        error = QStringLiteral("--bauds: a Modbus TCP port has no baud rate");
        return false;
    }
    // Over TCP, one pass over the unit ids.
    const QString bauds = tcp ? QString::number(invocation.line.baud)
                          : options.isSet(QStringLiteral("bauds"))
                              ? options.value(QStringLiteral("bauds"))
                              : baudRateList(QStringLiteral(","), QStringLiteral(","));
    for (const QString &text : bauds.split(u',')) {
        const auto rate = baudRate(QStringLiteral("--bauds"), text, error);
        if (!rate)
            return false;
        if (!invocation.bauds.contains(*rate))
            invocation.bauds << *rate;
    }
    if (!options.isSet(QStringLiteral("addresses")))
        return true;
    const QString range = options.value(QStringLiteral("addresses"));
    const QStringList ends = range.split(u'-');
    const QString notARange = QStringLiteral("--addresses: '%1' is not FROM-TO within %2-%3")
                                  .arg(range)
                                  .arg(modbus::kLowestModuleAddress)
                                  .arg(kHighestReachableAddress);
    if (ends.size() != 2) {
        error = notARange;
        return false;
    }
    const auto first = rangeEnd(ends[0], error);
    const auto last = first ? rangeEnd(ends[1], error) : std::nullopt;
    if (!first || !last)
        return false;
    if (*first > *last) {
        error = notARange;
        return false;
    }
    invocation.firstAddress = *first;
    invocation.lastAddress = *last;
    return true;
}

bool readCommand(const Options &options, const QStringList &arguments, Invocation &invocation,
                 QString &error) {
    const Command command = invocation.command;
    const qsizetype wanted = command == Command::Set ? 2 : command == Command::SetAddress ? 1 : 0;
    if (arguments.size() != wanted) {
        const CommandInfo &info = specOf(command);
        error = wanted == 0 ? QStringLiteral("%1 takes no arguments").arg(info.name)
                            : QStringLiteral("%1 takes %2")
                                  .arg(info.name, info.synopsis.section(u' ', -wanted));
        return false;
    }
    switch (command) {
    case Command::SetAddress:
        return readSetAddress(arguments[0], invocation, error);
    case Command::Set:
        invocation.force = options.isSet(QStringLiteral("force"));
        return readSet(arguments[0], arguments[1], invocation, error);
    case Command::Poll:
        return readPoll(options, invocation, error);
    case Command::Scan:
        return readScan(options, invocation, error);
    case Command::Read:
    case Command::Address:
        break;
    }
    return true;
}

// An option of one command given before it, or with another one.
std::optional<QString> misplacedOption(const Options &options, std::optional<Command> command) {
    for (const OptionInfo &info : optionTable()) {
        const bool misplaced =
            info.only &&
            (options.before.isSet(info.name) ||
             (options.afterParsed && info.only != command && options.after.isSet(info.name)));
        if (misplaced)
            return QStringLiteral("--%1 is an option of %2, after it")
                .arg(info.name, specOf(*info.only).name);
    }
    return std::nullopt;
}

Invocation usageError(QString message) {
    Invocation invocation;
    invocation.action = Invocation::Action::UsageError;
    invocation.error = std::move(message);
    return invocation;
}

std::optional<Invocation::Action> earlyAction(const QCommandLineParser &parser) {
    if (parser.isSet(QStringLiteral("help")))
        return Invocation::Action::ShowHelp;
    if (parser.isSet(QStringLiteral("version")))
        return Invocation::Action::ShowVersion;
    return std::nullopt;
}

// "read, poll, ... or scan"
QString commandNames() {
    QStringList names;
    for (const CommandInfo &info : commandTable())
        names << info.name;
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
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

Invocation parseCommandLine(const QStringList &arguments, const PortRoute &route) {
    for (const QString &word : arguments) {
        if (hasControlCharacter(word))
            return usageError(QStringLiteral("'%1' holds a control character")
                                  .arg(QString(word).replace(QRegularExpression("\\p{Cc}"),
                                                             QStringLiteral("?"))));
    }
    Options options;
    const QStringList words =
        QStringList{QStringLiteral("gx7140r-cli")} + markNegativeNumbers(arguments);
    addOptions(options.before);
    options.before.setOptionsAfterPositionalArgumentsMode(
        QCommandLineParser::ParseAsPositionalArguments);
    if (!options.before.parse(words))
        return usageError(parseError(options.before));
    Invocation invocation;
    if (const auto action = earlyAction(options.before)) {
        invocation.action = *action;
        return invocation;
    }
    QStringList positional = options.before.positionalArguments();
    std::optional<Command> command;
    if (!positional.isEmpty()) {
        const QString name = unmarked(positional.takeFirst());
        for (const CommandInfo &info : commandTable()) {
            if (info.name == name)
                command = info.command;
        }
        if (!command)
            return usageError(QStringLiteral("unknown command '%1'").arg(name));
        addOptions(options.after);
        const bool parsed = options.after.parse(QStringList{words.first()} + positional);
        options.afterParsed = true;
        if (const auto action = earlyAction(options.after)) {
            invocation.action = *action;
            return invocation;
        }
        if (!parsed)
            return usageError(parseError(options.after));
    }
    if (const auto misplaced = misplacedOption(options, command))
        return usageError(*misplaced);
    if (!command)
        return usageError(QStringLiteral("no command: %1").arg(commandNames()));
    invocation.command = *command;
    QStringList commandArguments;
    for (const QString &word : options.after.positionalArguments())
        commandArguments << unmarked(word);
    QString error;
    if (!readLine(options, route, invocation, error) ||
        !readCommand(options, commandArguments, invocation, error))
        return usageError(error);
    return invocation;
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
        const QString term = (info.name + u' ' + info.synopsis).trimmed();
        help += help::entry(term, info.description, kHelpIndent);
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
