#pragma once

#include "core/port_mapping.h"

#include <QList>
#include <QString>
#include <QStringList>

// The window's command line. It is read before anything graphical exists, so that --help,
// --version and the port commands work without a display. Options change where ports lead and
// what language the window speaks, what is recorded and what else is shown, never how the window
// behaves.
struct ToolOptions {
    PortMap ports;               // --port COMn=DEVICE, for this run
    QString language;            // --lang: empty for the window's own Chinese texts, or "en"
    QString logPath;             // --log FILE or FOLDER: the exchange recorded as CSV
    bool logInDocuments = false; // --log @documents: in CsvLog::documentsFolder() instead
    bool trend = false;          // --trend: the concentration over time in a second window
    bool echo = false;           // --echo: the line gives back every request before the reply
};

struct ToolCommandLine {
    enum class Action { RunWindow, ShowHelp, ShowVersion, ListPorts, EditSavedPorts, UsageError };
    Action action = Action::RunWindow;
    ToolOptions options;
    QList<PortAssignment> portsToSave; // --save-port
    QList<int> portsToForget;          // --forget-port
    QString error;                     // one line, for UsageError
};

// Arguments without the program name.
ToolCommandLine parseToolCommandLine(const QStringList &arguments);

QString toolHelpText();
QString toolVersionText();

// Exit statuses of the command line.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
