#include "app/around_window.h"
#include "app/command_line.h"
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "app/signal_quit.h"
#include "app/translation.h"
#include "core/port_listing.h"
#include "core/standard_streams.h"
#include "serial/echo_removal.h"
#include "serial/qt_comm_control.h"

#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

void complainOfOutput(const QString &reason) {
    print(stderr, QStringLiteral("gx7140r-tool: cannot write standard output: %1\n").arg(reason));
}

// What an option prints on standard output: a failure when it could not all be written there (a
// full disk, a reader that is gone), or when the program was started with it closed.
int printAnswer(const standard_streams::Closed &closed, const QString &text) {
    if (closed.output) {
        complainOfOutput(QStringLiteral("it is closed"));
        return kExitFailure;
    }
    print(stdout, text);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        complainOfOutput(QString::fromLocal8Bit(std::strerror(errno)));
        return kExitFailure;
    }
    return kExitSuccess;
}

int editSavedPorts(const standard_streams::Closed &closed, const ToolCommandLine &commandLine) {
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
    return printAnswer(closed, savedMappingText(saved.path(), saved.load()));
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
    std::unique_ptr<CommControl> line =
        std::make_unique<QtCommControl>(QtCommControl::mapperFor(mapping));
    if (options.echo)
        line = std::make_unique<EchoRemovingControl>(std::move(line));
    frmMain window(std::move(line), seams);
    window.Form_Load();
    AroundWindow around(window, std::move(log), options.trend);
    window.show();
    around.showBeside(window);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    // Before any file is opened: one that took the number of a closed standard stream would get
    // what is written there (the X connection the error text, and the window never showed).
    const standard_streams::Closed closed = standard_streams::reopenClosed();
    makeFailedWritesErrors();
    const ToolCommandLine commandLine = parseToolCommandLine(argumentsOf(argc, argv));
    switch (commandLine.action) {
    case ToolCommandLine::Action::UsageError:
        print(stderr, QStringLiteral("gx7140r-tool: %1 (see --help)\n").arg(commandLine.error));
        return kExitUsage;
    case ToolCommandLine::Action::ShowHelp:
        return printAnswer(closed, toolHelpText());
    case ToolCommandLine::Action::ShowVersion:
        return printAnswer(closed, toolVersionText());
    case ToolCommandLine::Action::ListPorts:
        return printAnswer(closed,
                           portListText(serialDevices(), PortMapping(commandLine.options.ports,
                                                                     SavedPortMapping().load())));
    case ToolCommandLine::Action::EditSavedPorts:
        return editSavedPorts(closed, commandLine);
    case ToolCommandLine::Action::RunWindow:
        break;
    }
    // A log that cannot be opened ends the program before anything graphical exists.
    std::unique_ptr<CsvLog> log;
    const ToolOptions &options = commandLine.options;
    if (options.logInDocuments || !options.logPath.isEmpty()) {
        QString error;
        log = options.logInDocuments ? CsvLog::openInDocuments(error)
                                     : CsvLog::open(options.logPath, error);
        if (!log) {
            print(stderr, QStringLiteral("gx7140r-tool: %1\n").arg(error));
            return kExitUsage;
        }
    }
    return runWindow(argc, argv, commandLine.options, std::move(log));
}
