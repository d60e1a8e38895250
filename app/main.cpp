#include "app/around_window.h"
#include "app/command_line.h"
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "app/signal_quit.h"
#include "app/translation.h"
#include "core/port_listing.h"
#include "serial/qt_comm_control.h"

#include <QApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void print(FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int editSavedPorts(const ToolCommandLine &commandLine) {
    SavedPortMapping saved;
    bool written = true;
    for (const int port : commandLine.portsToForget)
        written = written && saved.forget(port);
    for (const PortAssignment &assignment : commandLine.portsToSave)
        written = written && saved.save(assignment);
    if (!written) {
        print(stderr, QStringLiteral("gx7140r-tool: could not write %1\n").arg(saved.path()));
        return kExitFailure;
    }
    print(stdout, savedMappingText(saved.path(), saved.load()));
    return kExitSuccess;
}

int runWindow(int argc, char *argv[], const ToolOptions &options, std::unique_ptr<CsvLog> log) {
    RunEnvironment environment;
    QApplication app(argc, argv);
    environment.restore();
    if (options.language.isEmpty()) {
        // The trend window's file dialogs in Chinese, when Qt's texts are installed. Only with the
        // trend window: they would also rename the message boxes' OK button.
        if (options.trend)
            translation::installQtChinese();
    } else if (!translation::install(options.language)) {
        print(stderr, QStringLiteral("gx7140r-tool: no translation for '%1' found in %2\n")
                          .arg(options.language, translation::folders().join(u' ')));
        return kExitFailure;
    }
    SignalQuit signalQuit;
    QObject::connect(&signalQuit, &SignalQuit::quitRequested, &app, &QCoreApplication::quit);

    const PortMapping mapping(options.ports, SavedPortMapping().load());
    frmMain::Seams seams;
    seams.describePort = [mapping](int port) { return mapping.describe(port); };
    frmMain window(std::make_unique<QtCommControl>(QtCommControl::mapperFor(mapping)), seams);
    window.Form_Load();
    AroundWindow around(window, std::move(log), options.trend);
    window.show();
    around.showBeside(window);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    makeFailedWritesErrors();
    const ToolCommandLine commandLine = parseToolCommandLine(argumentsOf(argc, argv));
    switch (commandLine.action) {
    case ToolCommandLine::Action::UsageError:
        print(stderr, QStringLiteral("gx7140r-tool: %1 (see --help)\n").arg(commandLine.error));
        return kExitUsage;
    case ToolCommandLine::Action::ShowHelp:
        print(stdout, toolHelpText());
        return kExitSuccess;
    case ToolCommandLine::Action::ShowVersion:
        print(stdout, toolVersionText());
        return kExitSuccess;
    case ToolCommandLine::Action::ListPorts:
        print(stdout, portListText(serialDevices(), PortMapping(commandLine.options.ports,
                                                                SavedPortMapping().load())));
        return kExitSuccess;
    case ToolCommandLine::Action::EditSavedPorts:
        return editSavedPorts(commandLine);
    case ToolCommandLine::Action::RunWindow:
        break;
    }
    // A log that cannot be opened ends the program before anything graphical exists.
    std::unique_ptr<CsvLog> log;
    if (!commandLine.options.logPath.isEmpty()) {
        QString error;
        log = CsvLog::open(commandLine.options.logPath, error);
        if (!log) {
            print(stderr, QStringLiteral("gx7140r-tool: %1\n").arg(error));
            return kExitUsage;
        }
    }
    return runWindow(argc, argv, commandLine.options, std::move(log));
}
