#pragma once

#include "cli_options.h"

#include "core/module_map.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The command line's commands, options and exit statuses, one row each: the help is written from
// them and the parser reads by them. A new command is a row here, the function that reads its
// arguments (cli_options.cpp) and the one that runs it (commands.cpp), both named in its row.
namespace cli {

class ModuleMaster;
struct ParsedOptions; // the options as given around the command (cli_options.cpp)

// Reads a command's arguments (as many as its row names) and its own options into the invocation;
// false with a one-line message.
using ArgumentReader = bool (*)(const ParsedOptions &options, const QStringList &arguments,
                                Invocation &invocation, QString &error);
// Runs the command on the port, opened at --baud.
using PortRunner = int (*)(const Invocation &invocation, ModuleMaster &master);
// Runs a command that opens its ports itself (scan: one per rate).
using OwnPortsRunner = int (*)(const Invocation &invocation);

struct CommandInfo {
    Command command;
    QString name;
    QString options;       // its options, as its synopsis shows them
    QStringList arguments; // the words its synopsis names them by
    QString description;
    ArgumentReader read; // nullptr: nothing of its own to read
    PortRunner run;      // one of these two
    OwnPortsRunner runOwnPorts;
    int timeoutMs = kDefaultTimeoutMs; // --timeout and --retries when not given
    int retries = kDefaultRetries;
};

struct OptionInfo {
    QString shortName; // empty when it has none
    QString name;
    QString valueName; // empty for a flag
    std::optional<Command> only;
    QString description;
};

const QList<CommandInfo> &commandTable();
const CommandInfo &commandInfo(Command command);
const QList<OptionInfo> &optionTable();

QString helpText();
QString versionText();

// The module's facts as the help and the messages write them.
// "2400, 4800, 9600 or 19200" with SEPARATOR and LAST as given.
QString baudRateList(const QString &separator, const QString &last);
// "0.5 to 2.0"
QString rangeText(const modbus::SettingRange &range);
// "range-coefficient, range-low, ..."
QString settingNames();

// Each command's reader, in cli_options.cpp.
bool readPoll(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readSetAddress(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readSet(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readScan(const ParsedOptions &, const QStringList &, Invocation &, QString &error);

// Each command's runner, in commands.cpp.
int showMeasurement(const Invocation &invocation, ModuleMaster &master);
int poll(const Invocation &invocation, ModuleMaster &master);
int showAddress(const Invocation &invocation, ModuleMaster &master);
int changeAddress(const Invocation &invocation, ModuleMaster &master);
int writeSetting(const Invocation &invocation, ModuleMaster &master);
int scan(const Invocation &invocation);

} // namespace cli
