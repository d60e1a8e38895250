#pragma once

#include "cli_options.h"

#include "core/module_map.h"

#include <QList>
#include <QString>
#include <QStringList>

// The command line's commands, options and exit statuses, one row each: the help is written from
// them and the parser reads by them. A new command is its row in the command table and the
// function that runs it, both in commands.cpp; one with arguments or options of its own adds the
// function that reads them (cli_options.cpp, declared in cli_options.h beside the fields it
// fills), named in its row.
namespace cli {

class ModuleMaster;

// Reads a command's arguments (as many as its row names) and its own options into the invocation;
// false with a one-line message.
using ArgumentReader = bool (*)(const ParsedOptions &options, const QStringList &arguments,
                                Invocation &invocation, QString &error);
// Runs the command on the port, opened at --baud.
using PortRunner = int (*)(const Invocation &invocation, ModuleMaster &master);
// Runs a command that opens its ports itself (scan: one per rate).
using OwnPortsRunner = int (*)(const Invocation &invocation);

struct CommandInfo {
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
    QString command;   // the one command it belongs to; empty: every command's
    QString description;
};

// In commands.cpp, beside the functions that run them.
const QList<CommandInfo> &commandTable();
// The command's row, or nullptr.
const CommandInfo *commandNamed(const QString &name);
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
// "range-coefficient 0.5 to 2.0, range-low 0 to 1000, ..."
QString settingsWithRanges();

} // namespace cli
