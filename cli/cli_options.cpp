#include "cli_options.h"
#include "tcp_address.h"

#include "core/numeric_text.h"
#include "core/input_checks.h"
#include "core/line_settings.h"
#include "core/port_mapping.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

namespace cli {
namespace {

struct CommandName {
    const char *name;
    Command command;
};
constexpr CommandName kCommands[] = {
    {"read", Command::Read},       {"poll", Command::Poll},
    {"address", Command::Address}, {"set-address", Command::SetAddress},
    {"set", Command::Set},         {"scan", Command::Scan}};

// Every option takes a value. Those of one command come after it.
struct OptionName {
    const char *name;
    std::optional<Command> only;
};
constexpr OptionName kOptions[] = {{"port", {}},
                                   {"baud", {}},
                                   {"address", {}},
                                   {"timeout", {}},
                                   {"retries", {}},
                                   {"format", {}},
                                   {"interval", Command::Poll},
                                   {"count", Command::Poll},
                                   {"duration", Command::Poll},
                                   {"bauds", Command::Scan},
                                   {"addresses", Command::Scan}};

constexpr int kLongestDurationSeconds = 366 * 24 * 3600;
const QString kDefaultPort = QStringLiteral("COM1");

QString nameOf(Command command) {
    for (const auto &[name, value] : kCommands) {
        if (value == command)
            return QString::fromLatin1(name);
    }
    return {};
}

// The words of the command line, sorted but not yet checked.
struct Words {
    QHash<QString, QString> options; // the last value given to each
    std::optional<Command> command;
    QStringList arguments;                   // after the command
    std::optional<Invocation::Action> early; // --help or --version
};

// "-5" and "-.5" are values (set range-low -5), not options.
bool isOption(const QString &word) {
    return word.size() > 1 && word.startsWith(u'-') && !word[1].isDigit() && word[1] != u'.';
}

std::optional<Command> commandNamed(const QString &word) {
    for (const auto &[name, command] : kCommands) {
        if (word == QLatin1String(name))
            return command;
    }
    return std::nullopt;
}

const OptionName *optionNamed(const QString &word) {
    if (!word.startsWith(QStringLiteral("--")))
        return nullptr;
    const QStringView name = QStringView(word).sliced(2).split(u'=').first();
    for (const OptionName &option : kOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

// Takes the option at arguments[i] with its value ("--name value" or "--name=value").
bool takeOption(const QStringList &arguments, qsizetype &i, Words &words, QString &error) {
    const QString &word = arguments[i];
    const qsizetype equals = word.indexOf(u'=');
    const OptionName *option = optionNamed(word);
    if (!option) {
        error = QStringLiteral("unknown option '%1'").arg(word.left(equals));
        return false;
    }
    const QString name = QLatin1String(option->name);
    if (option->only && option->only != words.command) {
        error =
            QStringLiteral("--%1 is an option of %2, after it").arg(name, nameOf(*option->only));
        return false;
    }
    if (equals < 0 && i + 1 == arguments.size()) {
        error = QStringLiteral("--%1 needs a value").arg(name);
        return false;
    }
    words.options.insert(name, equals < 0 ? arguments[++i] : word.mid(equals + 1));
    return true;
}

std::optional<Words> splitWords(const QStringList &arguments, QString &error) {
    Words words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments[i];
        if (!optionsEnded && word == QStringLiteral("--")) {
            optionsEnded = true;
        } else if ((optionsEnded || !isOption(word)) && words.command) {
            words.arguments << word;
        } else if (optionsEnded || !isOption(word)) {
            words.command = commandNamed(word);
            if (!words.command) {
                error = QStringLiteral("unknown command '%1'").arg(word);
                return std::nullopt;
            }
        } else if (word == QStringLiteral("-h") || word == QStringLiteral("--help")) {
            words.early = Invocation::Action::ShowHelp;
            return words;
        } else if (word == QStringLiteral("-V") || word == QStringLiteral("--version")) {
            words.early = Invocation::Action::ShowVersion;
            return words;
        } else if (!takeOption(arguments, i, words, error)) {
            return std::nullopt;
        }
    }
    return words;
}

std::optional<int> wholeNumber(QStringView text, int low, int high) {
    const auto number = numeric::parseNumber(text);
    if (!number || std::floor(*number) != *number || *number < low || *number > high)
        return std::nullopt;
    return int(*number);
}

// Reads the option into `target` when it is given; false, with the message, when it is malformed.
bool readWhole(const Words &words, const char *name, int low, int high, int &target,
               QString &error) {
    const auto it = words.options.constFind(QLatin1String(name));
    if (it == words.options.cend())
        return true;
    const auto number = wholeNumber(*it, low, high);
    if (!number) {
        error = QStringLiteral("--%1: '%2' is not a whole number from %3 to %4")
                    .arg(QLatin1String(name), *it)
                    .arg(low)
                    .arg(high);
        return false;
    }
    target = *number;
    return true;
}

std::optional<int> baudRate(QStringView text) {
    const auto rate = wholeNumber(text, 1, std::numeric_limits<int>::max());
    if (!rate || std::find(kModuleBaudRates.begin(), kModuleBaudRates.end(), *rate) ==
                     kModuleBaudRates.end())
        return std::nullopt;
    return rate;
}

QString baudRateList(QStringView separator) {
    QStringList rates;
    for (const int rate : kModuleBaudRates)
        rates << QString::number(rate);
    return rates.join(separator);
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

bool readLine(const Words &words, const PortRoute &route, Invocation &invocation, QString &error) {
    Line &line = invocation.line;
    if (const auto format = words.options.constFind(QStringLiteral("format"));
        format != words.options.cend()) {
        const QHash<QString, Format> formats{{QStringLiteral("text"), Format::Text},
                                             {QStringLiteral("csv"), Format::Csv},
                                             {QStringLiteral("json"), Format::Json}};
        if (!formats.contains(*format)) {
            error = QStringLiteral("--format: '%1' is not text, csv or json").arg(*format);
            return false;
        }
        invocation.format = formats.value(*format);
    }
    line.port = words.options.value(QStringLiteral("port"), kDefaultPort);
    const auto device = deviceFor(line.port, route, error);
    if (!device)
        return false;
    line.device = *device;
    if (const auto baud = words.options.constFind(QStringLiteral("baud"));
        baud != words.options.cend()) {
        const auto rate = baudRate(*baud);
        if (!rate) {
            error = QStringLiteral("--baud: '%1' is not one of %2").arg(*baud, baudRateList(u", "));
            return false;
        }
        line.baud = *rate;
    }
    const bool scan = invocation.command == Command::Scan;
    line.timeoutMs = scan ? kDefaultScanTimeoutMs : kDefaultTimeoutMs;
    line.retries = scan ? kDefaultScanRetries : kDefaultRetries;
    return readWhole(words, "address", modbus::kLowestModuleAddress, kHighestReachableAddress,
                     line.address, error) &&
           readWhole(words, "timeout", 1, kLongestTimeoutMs, line.timeoutMs, error) &&
           readWhole(words, "retries", 0, kMostRetries, line.retries, error);
}

QString settingNames() {
    QStringList names;
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (!field.settingName.empty())
            names << QString::fromLatin1(field.settingName.data(),
                                         qsizetype(field.settingName.size()));
    }
    return names.join(QStringLiteral(", "));
}

bool readSetAddress(const QString &text, Invocation &invocation, QString &error) {
    const auto input = modbus::checkAddressChange(QString::number(invocation.line.address), text);
    if (input.problem == modbus::InputProblem::TargetAddressMalformed) {
        error = QStringLiteral("set-address: '%1' is not a number").arg(text);
        return false;
    }
    if (input.problem != modbus::InputProblem::None) {
        error = QStringLiteral("set-address: '%1' is not an address from %2 to %3")
                    .arg(text)
                    .arg(modbus::kLowestModuleAddress)
                    .arg(modbus::kHighestModuleAddress);
        return false;
    }
    if (input.target > kHighestReachableAddress) {
        error = QStringLiteral("set-address: %1 is beyond %2, where libmodbus could not read the "
                               "module back (the window sets %3 to %4)")
                    .arg(input.target)
                    .arg(kHighestReachableAddress)
                    .arg(kHighestReachableAddress + 1)
                    .arg(modbus::kHighestModuleAddress);
        return false;
    }
    invocation.newAddress = input.target;
    return true;
}

bool readSet(const QString &name, const QString &value, Invocation &invocation, QString &error) {
    const QByteArray latin = name.toLatin1();
    invocation.field =
        modbus::fieldForSettingName(std::string_view(latin.constData(), latin.size()));
    if (!invocation.field) {
        error = QStringLiteral("set: '%1' is not one of %2").arg(name, settingNames());
        return false;
    }
    const auto input = modbus::checkParameterValue(value);
    if (input.problem != modbus::InputProblem::None) {
        error = QStringLiteral("set: '%1' is not a number from -65536 to 65535").arg(value);
        return false;
    }
    invocation.value = input.value;
    return true;
}

bool readPoll(const Words &words, Invocation &invocation, QString &error) {
    const auto interval = words.options.constFind(QStringLiteral("interval"));
    if (interval == words.options.cend()) {
        error = QStringLiteral("poll needs --interval MS");
        return false;
    }
    const auto input = modbus::checkPollInterval(*interval);
    if (input.problem != modbus::InputProblem::None) {
        error = QStringLiteral("--interval: '%1' is not a number of milliseconds from %2 to %3")
                    .arg(*interval)
                    .arg(modbus::kShortestPollInterval)
                    .arg(modbus::kLongestPollInterval);
        return false;
    }
    invocation.intervalMs = input.milliseconds;
    if (words.options.contains(QStringLiteral("count")) &&
        words.options.contains(QStringLiteral("duration"))) {
        error = QStringLiteral("--count and --duration exclude each other");
        return false;
    }
    int count = 0;
    int duration = 0;
    if (!readWhole(words, "count", 1, std::numeric_limits<int>::max(), count, error) ||
        !readWhole(words, "duration", 1, kLongestDurationSeconds, duration, error))
        return false;
    if (count > 0)
        invocation.count = count;
    if (duration > 0)
        invocation.durationSeconds = duration;
    return true;
}

bool readScan(const Words &words, Invocation &invocation, QString &error) {
    const bool tcp = isTcpAddress(invocation.line.device);
    if (tcp && words.options.contains(QStringLiteral("bauds"))) {
        error = QStringLiteral("--bauds: a Modbus TCP port has no baud rate");
        return false;
    }
    // Over TCP, one pass over the unit ids.
    const QString bauds = tcp ? QString::number(invocation.line.baud)
                              : words.options.value(QStringLiteral("bauds"), baudRateList(u","));
    for (const QString &text : bauds.split(u',')) {
        const auto rate = baudRate(text);
        if (!rate) {
            error = QStringLiteral("--bauds: '%1' is not one of %2").arg(text, baudRateList(u", "));
            return false;
        }
        if (!invocation.bauds.contains(*rate))
            invocation.bauds << *rate;
    }
    const auto range = words.options.constFind(QStringLiteral("addresses"));
    if (range == words.options.cend())
        return true;
    const QStringList ends = range->split(u'-');
    const auto first =
        wholeNumber(ends.first(), modbus::kLowestModuleAddress, kHighestReachableAddress);
    const auto last =
        wholeNumber(ends.last(), modbus::kLowestModuleAddress, kHighestReachableAddress);
    if (ends.size() > 2 || !first || !last || *first > *last) {
        error = QStringLiteral("--addresses: '%1' is not FROM-TO within %2-%3")
                    .arg(*range)
                    .arg(modbus::kLowestModuleAddress)
                    .arg(kHighestReachableAddress);
        return false;
    }
    invocation.firstAddress = *first;
    invocation.lastAddress = *last;
    return true;
}

bool readCommand(const Words &words, Invocation &invocation, QString &error) {
    const Command command = invocation.command;
    const qsizetype wanted = command == Command::Set ? 2 : command == Command::SetAddress ? 1 : 0;
    if (words.arguments.size() != wanted) {
        const QString usage = command == Command::Set          ? QStringLiteral("NAME VALUE")
                              : command == Command::SetAddress ? QStringLiteral("NEW")
                                                               : QStringLiteral("no arguments");
        error = QStringLiteral("%1 takes %2").arg(nameOf(command), usage);
        return false;
    }
    switch (command) {
    case Command::SetAddress:
        return readSetAddress(words.arguments[0], invocation, error);
    case Command::Set:
        return readSet(words.arguments[0], words.arguments[1], invocation, error);
    case Command::Poll:
        return readPoll(words, invocation, error);
    case Command::Scan:
        return readScan(words, invocation, error);
    case Command::Read:
    case Command::Address:
        break;
    }
    return true;
}

Invocation usageError(QString message) {
    Invocation invocation;
    invocation.action = Invocation::Action::UsageError;
    invocation.error = std::move(message);
    return invocation;
}

} // namespace

Invocation parseCommandLine(const QStringList &arguments, const PortRoute &route) {
    QString error;
    const auto words = splitWords(arguments, error);
    if (!words)
        return usageError(error);
    Invocation invocation;
    if (words->early) {
        invocation.action = *words->early;
        return invocation;
    }
    if (!words->command)
        return usageError(
            QStringLiteral("no command: read, poll, address, set-address, set or scan"));
    invocation.command = *words->command;
    if (!readLine(*words, route, invocation, error) || !readCommand(*words, invocation, error))
        return usageError(error);
    return invocation;
}

QString helpText() {
    return QStringLiteral(
        "Usage: gx7140r-cli [OPTION]... COMMAND [ARGUMENT]...\n"
        "Read and configure GX7140R carbon-dioxide sensor modules from scripts and production\n"
        "lines: a Modbus RTU master on a serial line that prints the module's own view of its\n"
        "registers.\n"
        "\n"
        "Commands:\n"
        "  read                 read one measurement and print every decoded field\n"
        "  poll --interval MS [--count N | --duration SECONDS]\n"
        "                       read every MS milliseconds (50 to 60000), one reading per line\n"
        "                       with an ISO 8601 timestamp: N readings, for SECONDS, or until\n"
        "                       interrupted (Ctrl+C ends it after the exchange under way)\n"
        "  address              read the address of the module that answers at --address\n"
        "  set-address NEW      change the module's address to NEW (rounded down), then read\n"
        "                       it back at NEW; 1 to 247: the module takes up to 250, but\n"
        "                       libmodbus reaches no further than 247 (the window sets 248 to\n"
        "                       250)\n"
        "  set NAME VALUE       write one configuration register, then read it back; NAME is\n"
        "                       range-coefficient, range-low, range-high or\n"
        "                       display-calibration; VALUE as the window takes it: a number,\n"
        "                       65536 added when negative, rounded to the nearest integer\n"
        "                       (halves to even), 0 to 65535 after that\n"
        "  scan [--bauds LIST] [--addresses FROM-TO]\n"
        "                       find every module that answers: at each rate of LIST (default\n"
        "                       2400,4800,9600,19200), each address FROM to TO (default\n"
        "                       1-247); prints the address and baud rate of each find as it\n"
        "                       happens, progress on stderr when that is a terminal\n"
        "\n"
        "Options:\n"
        "  --port COMn|DEVICE   the serial port (default COM1): COMn leads where the window's\n"
        "                       port list leads it (the saved mapping, /dev/COMn,\n"
        "                       /dev/ttyS<n-1>), or a device such as /dev/ttyUSB0 (a bare\n"
        "                       name such as ttyUSB0 lies in /dev); or tcp://HOST[:PORT]\n"
        "                       for Modbus TCP (default port 502; the unit id is --address)\n"
        "  --baud RATE          2400, 4800, 9600 (default) or 19200; always N,8,1\n"
        "  --address N          the module's address, 1 to 247, libmodbus's RTU range\n"
        "                       (default 1)\n"
        "  --timeout MS         how long a reply may take beyond its time on the wire, 1 to\n"
        "                       60000 (default 200; scan: 50)\n"
        "  --retries N          further tries after no reply or an invalid one, 0 to 10\n"
        "                       (default 1; scan: 0); an exception reply is final\n"
        "  --format FORMAT      text (default), csv (the columns of the window's log, one row\n"
        "                       per reading) or json (one object per reading: JSON Lines for\n"
        "                       poll)\n"
        "  -h, --help           show this help and exit\n"
        "  -V, --version        show the version and exit\n"
        "\n"
        "Exit status:\n"
        "  0    success\n"
        "  1    the module did not answer, answered with a Modbus exception or an invalid\n"
        "       frame, or read back another value (the reason on stderr); poll: a reading\n"
        "       failed; scan: no module answered\n"
        "  2    a usage error: an unknown option, a missing or malformed value, a value out\n"
        "       of range (nothing is sent)\n"
        "  3    the port could not be opened, or it vanished\n"
        "  130  poll or scan ended by SIGINT (143: SIGTERM)\n");
}

QString versionText() {
    return QStringLiteral("gx7140r-cli " GX7140R_VERSION "\n");
}

} // namespace cli
