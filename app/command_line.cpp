#include "command_line.h"

#include "core/csv_log.h"
#include "core/exchange_record.h"
#include "core/help_text.h"

#include <QCommandLineParser>

namespace {
const QString kPort = QStringLiteral("port");
const QString kSavePort = QStringLiteral("save-port");
const QString kForgetPort = QStringLiteral("forget-port");
const QString kListPorts = QStringLiteral("list-ports");
const QString kLang = QStringLiteral("lang");
const QString kLog = QStringLiteral("log");
const QString kTrend = QStringLiteral("trend");
const QString kEcho = QStringLiteral("echo");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QStringList kLanguages = {QStringLiteral("zh"), QStringLiteral("en")};
// --log's place that names no path: what a desktop entry can give, whose Exec line expands no ~.
const QString kLogInDocuments = QStringLiteral("@documents");

ToolCommandLine usageError(QString message) {
    if (message.endsWith(u'.'))
        message.chop(1); // the parser's own messages end in a full stop
    ToolCommandLine result;
    result.action = ToolCommandLine::Action::UsageError;
    result.error = message;
    return result;
}
} // namespace

ToolCommandLine parseToolCommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions({
        {kPort, {}, QStringLiteral("COMn=DEVICE")},
        {kSavePort, {}, QStringLiteral("COMn=DEVICE")},
        {kForgetPort, {}, QStringLiteral("COMn")},
        {kListPorts, {}},
        {kLang, {}, QStringLiteral("LANG")},
        {kLog, {}, QStringLiteral("FILE")},
        {kTrend, {}},
        {kEcho, {}},
        {{QStringLiteral("h"), kHelp}, {}},
        {{QStringLiteral("V"), kVersion}, {}},
    });
    if (!parser.parse(QStringList{QStringLiteral("gx7140r-tool")} + arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    ToolCommandLine result;
    if (parser.isSet(kHelp)) {
        result.action = ToolCommandLine::Action::ShowHelp;
        return result;
    }
    if (parser.isSet(kVersion)) {
        result.action = ToolCommandLine::Action::ShowVersion;
        return result;
    }
    for (const QString &value : parser.values(kPort)) {
        const auto assignment = parsePortAssignment(value);
        if (const QString *error = std::get_if<QString>(&assignment))
            return usageError(QStringLiteral("--port: ") + *error);
        const auto &[port, device] = std::get<PortAssignment>(assignment);
        result.options.ports.insert(port, device);
    }
    for (const QString &value : parser.values(kSavePort)) {
        const auto assignment = parsePortAssignment(value);
        if (const QString *error = std::get_if<QString>(&assignment))
            return usageError(QStringLiteral("--save-port: ") + *error);
        result.portsToSave << std::get<PortAssignment>(assignment);
    }
    for (const QString &value : parser.values(kForgetPort)) {
        const auto port = parsePortName(value);
        if (const QString *error = std::get_if<QString>(&port))
            return usageError(QStringLiteral("--forget-port: ") + *error);
        result.portsToForget << std::get<int>(port);
    }
    if (parser.isSet(kLang)) {
        const QString language = parser.value(kLang).toLower();
        if (!kLanguages.contains(language))
            return usageError(QStringLiteral("--lang: '%1' is not one of %2")
                                  .arg(parser.value(kLang), kLanguages.join(QStringLiteral(", "))));
        result.options.language = language == kLanguages.first() ? QString() : language;
    }
    if (parser.isSet(kLog)) {
        result.options.logPath = parser.value(kLog);
        if (result.options.logPath.isEmpty())
            return usageError(QStringLiteral("--log: no file name"));
        if (result.options.logPath == kLogInDocuments) {
            result.options.logPath.clear();
            result.options.logInDocuments = true;
        }
    }
    result.options.trend = parser.isSet(kTrend);
    result.options.echo = parser.isSet(kEcho);
    const bool editsSavedPorts = !result.portsToSave.isEmpty() || !result.portsToForget.isEmpty();
    if (editsSavedPorts && parser.isSet(kListPorts))
        return usageError(QStringLiteral("--list-ports cannot be combined with --save-port or "
                                         "--forget-port"));
    if (parser.isSet(kListPorts))
        result.action = ToolCommandLine::Action::ListPorts;
    else if (editsSavedPorts)
        result.action = ToolCommandLine::Action::EditSavedPorts;
    return result;
}

// --log's three forms, and an example of the name a run's file gets in a folder.
QString logOptionsHelp() {
    const int column = 27;
    return help::entry(QStringLiteral("--log FILE"),
                       QStringLiteral("record every request, reply and line event of the window "
                                      "in FILE as CSV, one line each, appended (a header line "
                                      "first when FILE is new or empty)"),
                       column) +
           help::entry(QStringLiteral("--log FOLDER"),
                       QStringLiteral("the same in a new file of FOLDER for each run, named by "
                                      "its start: %1")
                           .arg(CsvLog::runFileName(
                               QDateTime(QDate(2026, 12, 7), QTime(10, 24, 8, 348), Qt::UTC), 1)),
                       column) +
           help::entry(QStringLiteral("--log ") + kLogInDocuments,
                       QStringLiteral("the same in the folder '%1' of your documents folder: "
                                      "a place named without a shell, as the desktop entry's "
                                      "action names it")
                           .arg(CsvLog::documentsFolderName()),
                       column);
}

// The log's columns and the values of its kind and status columns, as the records write them.
QString logHelp() {
    QStringList statuses;
    for (const auto status : modbus::everyStatus())
        statuses << modbus::statusName(status);
    QStringList kinds;
    for (const auto kind : modbus::everyRequestKind())
        kinds << modbus::kindName(kind);
    return help::wrapped(
        QStringLiteral(
            "Columns: %1. time is ISO 8601 (local, milliseconds and UTC offset); event is request, "
            "reply or line; kind is %2; status is %3; the register columns hold an accepted "
            "measurement; address is the slave address the row is about; note says why a reply "
            "was rejected, which bytes followed a whole frame, what happened on the line. Each "
            "line "
            "is written through at once. --log takes a regular file (or a link to one), appended "
            "to, a file whose last line is incomplete continued on a new line; a pipe a program "
            "reads from; a folder that exists (a name ending in / is never taken for a file), "
            "where each run makes a new file of its own (never another run's), named by its start "
            "in UTC so that the names sort by time, with '-' for ':' (which some file systems "
            "refuse) and _2, _3... before .csv for a later run of the same millisecond; /dev/null "
            "(the device, by any name), which keeps nothing. Anything else is refused at once: "
            "another device, a pipe no program reads from, a file or folder where nothing can be "
            "written. %5 is the folder '%4' in the documents folder (XDG_DOCUMENTS_DIR in "
            "~/.config/user-dirs.dirs, else ~/Documents), made when missing. "
            "When a write fails later (a full disk, a pipe whose reader went away), one message "
            "says so, the log stops, the file is cut back to its last whole line and the window "
            "goes on.")
            .arg(modbus::csvHeader().split(u',').join(QStringLiteral(", ")),
                 kinds.join(QStringLiteral(", ")), statuses.join(QStringLiteral(", ")),
                 CsvLog::documentsFolderName(), kLogInDocuments),
        2);
}

QString toolHelpText() {
    return QStringLiteral(
               "Usage: gx7140r-tool [OPTION]...\n"
               "Read and configure a GX7140R carbon-dioxide sensor module over a serial line "
               "(Modbus RTU\n"
               "master). Without options the window starts with its defaults and opens COM1.\n"
               "\n"
               "Options:\n"
               "  --port COMn=DEVICE       for this run, the port list's COMn opens DEVICE (for "
               "example\n"
               "                           /dev/ttyUSB0 or /dev/serial/by-id/usb-...; a bare name "
               "such "
               "as\n"
               "                           ttyUSB0 lies in /dev); may be repeated; COM1 is opened "
               "at\n"
               "                           start-up\n"
               "  --save-port COMn=DEVICE  save that mapping for every later run, print the saved "
               "mapping\n"
               "                           and exit; may be repeated\n"
               "  --forget-port COMn       remove COMn from the saved mapping, print it and exit\n"
               "  --list-ports             list the serial devices the system knows (path, by-id "
               "name,\n"
               "                           description, manufacturer, USB ids, serial number), "
               "which\n"
               "                           COM number reaches each and whether you may open it "
               "(if\n"
               "                           not: owner, group, mode and the fix), then exit\n"
               "  --lang LANG              the window's language: zh (the default, whatever the "
               "locale)\n"
               "                           or en\n"
               "%3"
               "  --trend                  show the gas concentration over time in a second "
               "window\n"
               "  --echo                   the line gives back every request before the reply (a "
               "two-wire\n"
               "                           RS-485 adapter without echo suppression): the bytes "
               "sent are\n"
               "                           expected first and removed, so that the window shows, "
               "decodes\n"
               "                           and logs the module's reply alone\n"
               "  -h, --help               show this help and exit\n"
               "  -V, --version            show the version and exit\n"
               "\n"
               "Ports:\n"
               "  COMn opens, in this order: the device given with --port; the device saved with\n"
               "  --save-port (in ~/.config/gx7140r-tool/ports.conf); /dev/COMn when it exists (a "
               "udev\n"
               "  link); otherwise /dev/ttyS<n-1>. A device that is not there behaves like any "
               "port\n"
               "  that cannot be opened.\n"
               "\n"
               "Log:\n"
               "%1"
               "\n"
               "Exit status:\n"
               "  0  the window was closed, or the option's work is done\n"
               "  1  the saved mapping could not be written, or an option's answer could not\n"
               "     be written to standard output (closed, a full disk, a reader that is\n"
               "     gone; the reason on stderr)\n"
               "%2")
        .arg(logHelp(),
             QStringLiteral("  2  ") +
                 help::wrapped(QStringLiteral("a usage error: an unknown option, a malformed "
                                              "COMn=DEVICE, a COM number outside 1..%1, an "
                                              "unknown language, a log that cannot be opened or "
                                              "written (a file, or a folder where no new file "
                                              "can be made), a device other than /dev/null or a "
                                              "pipe no program reads from")
                                   .arg(kHighestPortNumber),
                               5)
                     .mid(5),
             logOptionsHelp());
}

QString toolVersionText() {
    return QStringLiteral("gx7140r-tool " GX7140R_VERSION "\n");
}
