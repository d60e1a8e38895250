#include "cli_options.h"
#include "cli_tables.h"
#include "tcp_address.h"

#include "core/address_list.h"
#include "core/input_checks.h"
#include "core/numeric_text.h"
#include "core/port_mapping.h"
#include "core/whole_number.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace cli {
namespace {

constexpr int kMostCount = std::numeric_limits<int>::max();

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

} // namespace

// The options of both passes: those before the command and those after it (the later wins).
struct ParsedOptions {
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

namespace {

bool hasControlCharacter(const QString &word) {
    return std::any_of(word.begin(), word.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// A whole number in low..high read into `target`; false, with the message after `prefix`, when
// it is malformed or out of range.
bool readWholeNumber(const QString &text, const QString &prefix, int low, int high, int &target,
                     QString &error) {
    const auto number = numeric::parseWholeNumber(text, low, high);
    if (const auto *problem = std::get_if<numeric::WholeNumberProblem>(&number)) {
        error = prefix + numeric::wholeNumberProblemText(text, *problem, low, high);
        return false;
    }
    target = int(std::get<std::int64_t>(number));
    return true;
}

// A whole-number option read into `target` when it is given.
bool readWhole(const ParsedOptions &options, const QString &name, int low, int high, int &target,
               QString &error) {
    return !options.isSet(name) ||
           readWholeNumber(options.value(name), QStringLiteral("--%1: ").arg(name), low, high,
                           target, error);
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

// An address list (1,5,9, 3-7) into `target` when the option is given; false, with the message,
// when it is refused.
bool readAddresses(const ParsedOptions &options, const QString &name, std::vector<int> &target,
                   QString &error) {
    if (!options.isSet(name))
        return true;
    const auto list = modbus::parseAddressList(
        options.value(name).toStdString(), modbus::kLowestModuleAddress, kHighestReachableAddress);
    if (const auto *problem = std::get_if<modbus::AddressListProblem>(&list)) {
        error = QStringLiteral("--%1: ").arg(name) + QString::fromStdString(problem->message);
        return false;
    }
    target = std::get<std::vector<int>>(list);
    return true;
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

bool readLine(const ParsedOptions &options, const PortRoute &route, Invocation &invocation,
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
    line.echo = options.isSet(QStringLiteral("echo"));
    if (line.echo && isTcpAddress(line.device)) {
        error =
            QStringLiteral("--echo: Modbus TCP gives back no echo; --echo is for a serial line");
        return false;
    }
    line.timeoutMs = invocation.command->timeoutMs;
    line.retries = invocation.command->retries;
    if (!readAddresses(options, QStringLiteral("address"), line.addresses, error))
        return false;
    return readWhole(options, QStringLiteral("timeout"), 1, kLongestTimeoutMs, line.timeoutMs,
                     error) &&
           readWhole(options, QStringLiteral("retries"), 0, kMostRetries, line.retries, error);
}

bool readCommand(const ParsedOptions &options, const QStringList &arguments, Invocation &invocation,
                 QString &error) {
    const CommandInfo &info = *invocation.command;
    if (arguments.size() != info.arguments.size()) {
        error = info.arguments.isEmpty()
                    ? QStringLiteral("%1 takes no arguments").arg(info.name)
                    : QStringLiteral("%1 takes %2").arg(info.name, info.arguments.join(u' '));
        return false;
    }
    return !info.read || info.read(options, arguments, invocation, error);
}

// An option of one command given before it, or with another one.
std::optional<QString> misplacedOption(const ParsedOptions &options, const CommandInfo *command) {
    for (const OptionInfo &info : optionTable()) {
        const bool misplaced =
            !info.command.isEmpty() &&
            (options.before.isSet(info.name) ||
             (options.afterParsed && (!command || info.command != command->name) &&
              options.after.isSet(info.name)));
        if (misplaced)
            return QStringLiteral("--%1 is an option of %2, after it").arg(info.name, info.command);
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

} // namespace

namespace {

// set and set-address change one module: a list of several is refused.
bool oneModule(const Invocation &invocation, QString &error) {
    const std::vector<int> &addresses = invocation.line.addresses;
    if (addresses.size() == 1)
        return true;
    error = QStringLiteral("%1 changes one module at a time: --address %2 names %3")
                .arg(invocation.command->name,
                     QString::fromStdString(modbus::addressListText(addresses)))
                .arg(addresses.size());
    return false;
}

} // namespace

bool readSetAddress(const ParsedOptions &, const QStringList &arguments, Invocation &invocation,
                    QString &error) {
    if (!oneModule(invocation, error))
        return false;
    int target = 0;
    if (!readWholeNumber(arguments[0], QStringLiteral("set-address: "),
                         modbus::kLowestModuleAddress, modbus::kHighestModuleAddress, target,
                         error))
        return false;
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
// window's conversion makes of it, when that fits a register.
bool readSet(const ParsedOptions &options, const QStringList &arguments, Invocation &invocation,
             QString &error) {
    if (!oneModule(invocation, error))
        return false;
    const QString &name = arguments[0];
    const QString &text = arguments[1];
    invocation.force = options.isSet(QStringLiteral("force"));
    const QByteArray latinName = name.toLatin1();
    invocation.field =
        modbus::fieldForSettingName(std::string_view(latinName.constData(), latinName.size()));
    if (!invocation.field) {
        error = QStringLiteral("set: '%1' is not one of %2").arg(name, settingNames());
        return false;
    }
    static const QRegularExpression decimal(QStringLiteral("^-?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    const auto number = decimal.match(text).hasMatch() ? numeric::parseNumber(text) : std::nullopt;
    if (!number) {
        error = QStringLiteral("set: '%1' is not a decimal number").arg(text);
        return false;
    }
    const auto written = numeric::wrappedRegisterValue(*number);
    const modbus::SettingRange &range = *invocation.field->range;
    if (!invocation.force && (*number < range.lowest || *number > range.highest)) {
        error = QStringLiteral("set: %1 %2 is outside the module's range %3")
                    .arg(name, text, rangeText(range)) +
                (written ? QStringLiteral("; --force writes %1").arg(*written) : QString());
        return false;
    }
    // Only --force gets here with a value no register holds: the module's ranges fit in one.
    if (!written) {
        error =
            QStringLiteral("set: %1 %2 comes to %3 with --force (65536 added when negative, "
                           "rounded to the nearest integer, halves to even), outside a "
                           "register's 0 to %4")
                .arg(name, text, QString::number(numeric::wrappedRegisterNumber(*number), 'g', 10))
                .arg(std::numeric_limits<std::uint16_t>::max());
        return false;
    }
    invocation.value = *written;
    if (!invocation.force && double(*written) != *number) {
        error = QStringLiteral("set: %1 %2 would be written as %3; --force writes %3")
                    .arg(name, text)
                    .arg(*written);
        return false;
    }
    return true;
}

namespace {

// --until-stable SPREAD,SECONDS: SPREAD ppm from 0 (a value that does not move at all), SECONDS
// from 1, digits only.
bool readStability(const ParsedOptions &options, Invocation &invocation, QString &error) {
    const QString name = QStringLiteral("until-stable");
    if (!options.isSet(name))
        return true;
    const QString text = options.value(name);
    const QStringList parts = text.split(u',');
    if (parts.size() != 2) {
        error = QStringLiteral("--until-stable: '%1' is not SPREAD,SECONDS").arg(text);
        return false;
    }
    Stability stability;
    if (!readWholeNumber(parts[0], QStringLiteral("--until-stable: SPREAD "), 0, kWidestSpreadPpm,
                         stability.spreadPpm, error) ||
        !readWholeNumber(parts[1], QStringLiteral("--until-stable: SECONDS "), 1,
                         kLongestDurationSeconds, stability.seconds, error))
        return false;
    invocation.untilStable = stability;
    return true;
}

} // namespace

bool readPoll(const ParsedOptions &options, const QStringList &, Invocation &invocation,
              QString &error) {
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
    return readStability(options, invocation, error);
}

bool readScan(const ParsedOptions &options, const QStringList &, Invocation &invocation,
              QString &error) {
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
    return readAddresses(options, QStringLiteral("addresses"), invocation.scanAddresses, error);
}

Invocation parseCommandLine(const QStringList &arguments, const PortRoute &route) {
    for (const QString &word : arguments) {
        if (hasControlCharacter(word))
            return usageError(QStringLiteral("'%1' holds a control character")
                                  .arg(QString(word).replace(QRegularExpression("\\p{Cc}"),
                                                             QStringLiteral("?"))));
    }
    ParsedOptions options;
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
    const CommandInfo *command = nullptr;
    if (!positional.isEmpty()) {
        const QString name = unmarked(positional.takeFirst());
        command = commandNamed(name);
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
    invocation.command = command;
    QStringList commandArguments;
    for (const QString &word : options.after.positionalArguments())
        commandArguments << unmarked(word);
    QString error;
    if (!readLine(options, route, invocation, error) ||
        !readCommand(options, commandArguments, invocation, error))
        return usageError(error);
    return invocation;
}

} // namespace cli
