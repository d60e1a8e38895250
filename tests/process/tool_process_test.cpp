// The program as a user starts it: the command line without a display, and the way it ends when
// the system asks it to.
#include "program_runner.h"
#include "pty_pair.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTool = QStringLiteral(GX7140R_TOOL_PATH);

using Run = ProgramRun;

// Environment without any display: a program that tried to open a window would fail.
QProcessEnvironment noDisplay(const QString &configHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

Run runTool(const QStringList &arguments, const QProcessEnvironment &env) {
    return runProgram(kTool, arguments, env, 20000);
}

// How many of the process's open files lead to `target` (a path, or "pipe:[inode]").
int openCount(qint64 pid, const QString &target) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    int count = 0;
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        count += QFile::symLinkTarget(fds.filePath(fd)) == target ? 1 : 0;
    return count;
}

// The window on a pty with these arguments, started in `workingDirectory`: it opens its port,
// takes `replies` bytes from the module side (each one a reply, a line of a log) and ends on
// SIGTERM as a close does, exit status 0 and its lock gone.
void runWindowUntilSignal(const QStringList &arguments, const QProcessEnvironment &env,
                          const QString &workingDirectory, int replies = 0) {
    PtyPair pty;
    QVERIFY(pty.valid());
    QProcessEnvironment offscreen = env;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess tool;
    tool.setProcessEnvironment(offscreen);
    tool.setWorkingDirectory(workingDirectory);
    tool.start(kTool, QStringList{"--port", "COM1=" + pty.path} + arguments);
    QVERIFY(tool.waitForStarted());
    QString lock;
    QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFileOf(tool.processId())).isEmpty(), 15000);
    for (int i = 0; i < replies; ++i) {
        pty.send("\x01");
        QTest::qWait(20);
    }
    QCOMPARE(tool.state(), QProcess::Running);
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kLogHeader = "time,event,kind,request_hex,reply_hex,status,";

// Each action of the desktop entry: its id and the arguments of its Exec line.
QList<std::pair<QString, QStringList>> desktopActions() {
    QFile entry(QStringLiteral(GX7140R_DESKTOP_ENTRY));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString group = QStringLiteral("[Desktop Action ");
    QList<std::pair<QString, QStringList>> actions;
    QString action;
    for (const QString &line : QString::fromUtf8(entry.readAll()).split(u'\n')) {
        if (line.startsWith(u'['))
            action = line.startsWith(group) ? line.mid(group.size()).chopped(1) : QString();
        else if (!action.isEmpty() && line.startsWith(QStringLiteral("Exec=")))
            actions.append({action, line.mid(5).split(u' ')});
    }
    return actions;
}

} // namespace

class ToolProcessTest : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void answersWithStandardOutputClosed_data();
    void answersWithStandardOutputClosed();
    void windowWithClosedStandardStreams_data();
    void windowWithClosedStandardStreams();
    void usageErrors_data();
    void usageErrors();
    void savedMappingEditedAndPrinted();
    void signalsEndTheProgramLikeAClose_data();
    void signalsEndTheProgramLikeAClose();
    void logAndTrendAroundTheWindow_data();
    void logAndTrendAroundTheWindow();
    void aLogFolderGetsAFileForEachRun();
    void desktopActionsStartTheWindow_data();
    void desktopActionsStartTheWindow();
    void aLogThatFailsLeavesTheWindowRunning_data();
    void aLogThatFailsLeavesTheWindowRunning();

private:
    QTemporaryDir config_;
};

void ToolProcessTest::answersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: gx7140r-tool [OPTION]...";
    QTest::newRow("-h") << QStringList{"-h"} << "Usage: gx7140r-tool [OPTION]...";
    QTest::newRow("--version") << QStringList{"--version"} << "gx7140r-tool 0.1.0";
    QTest::newRow("--list-ports") << QStringList{"--list-ports"} << "";
}

void ToolProcessTest::answersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, firstLine);
    const Run run = runTool(arguments, noDisplay(config_.path()));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QVERIFY(!run.out.isEmpty());
    if (!firstLine.isEmpty())
        QCOMPARE(run.out.section(u'\n', 0, 0), firstLine);
}

void ToolProcessTest::answersWithStandardOutputClosed_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QList<int>>("closed");
    for (const char *option : {"--help", "--version", "--list-ports"}) {
        QTest::addRow("%s, standard output closed", option) << option << QList<int>{1};
        QTest::addRow("%s, standard output and error closed", option) << option << QList<int>{1, 2};
    }
}

// An answer with nowhere to go is a failure: exit status 1, the reason where it can be told.
void ToolProcessTest::answersWithStandardOutputClosed() {
    QFETCH(QString, option);
    QFETCH(QList<int>, closed);
    QProcess tool;
    tool.setProcessEnvironment(noDisplay(config_.path()));
    tool.setChildProcessModifier(closingDescriptors(closed));
    tool.start(kTool, {option});
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardError()),
             closed.contains(2)
                 ? QString()
                 : QStringLiteral("gx7140r-tool: cannot write standard output: it is closed\n"));
}

void ToolProcessTest::windowWithClosedStandardStreams_data() {
    QTest::addColumn<QList<int>>("closed");
    QTest::newRow("standard output") << QList<int>{1};
    QTest::newRow("standard error") << QList<int>{2};
    QTest::newRow("both") << QList<int>{1, 2};
}

// Started with standard streams closed, the window runs on /dev/null in their place: nothing it
// writes there reaches its port (or its lock file), and it ends on SIGTERM as a close does.
void ToolProcessTest::windowWithClosedStandardStreams() {
    QFETCH(QList<int>, closed);
    PtyPair pty;
    QVERIFY(pty.valid());
    QProcessEnvironment env = noDisplay(config_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setChildProcessModifier(closingDescriptors(closed));
    tool.start(kTool, {"--port", "COM1=" + pty.path});
    QVERIFY(tool.waitForStarted());
    QString lock;
    QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFileOf(tool.processId())).isEmpty(), 15000);
    for (const int descriptor : closed) {
        QCOMPARE(QFile::symLinkTarget(
                     QStringLiteral("/proc/%1/fd/%2").arg(tool.processId()).arg(descriptor)),
                 QStringLiteral("/dev/null"));
    }
    // The product link's browser gets SIGXFSZ and SIGPIPE as they should be: caught here, so
    // reset when it starts, where an ignored signal would stay ignored.
    for (const int signal : {SIGXFSZ, SIGPIPE}) {
        QVERIFY(!signalInMask(tool.processId(), "SigIgn", signal));
        QVERIFY(signalInMask(tool.processId(), "SigCgt", signal));
    }
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(pty.receive(), QByteArray());
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
}

void ToolProcessTest::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("unknown short option") << QStringList{"-q"};
    QTest::newRow("Qt's own option") << QStringList{"-platform", "offscreen"};
    QTest::newRow("no value") << QStringList{"--port"};
    QTest::newRow("no device") << QStringList{"--port", "COM1"};
    QTest::newRow("empty device") << QStringList{"--port", "COM1="};
    QTest::newRow("COM0") << QStringList{"--port", "COM0=/dev/ttyUSB0"};
    QTest::newRow("COM256") << QStringList{"--port", "COM256=/dev/ttyUSB0"};
    QTest::newRow("not COMn") << QStringList{"--save-port", "ttyUSB0=/dev/ttyUSB0"};
    QTest::newRow("forget a device") << QStringList{"--forget-port", "/dev/ttyUSB0"};
    QTest::newRow("unknown language") << QStringList{"--lang", "de"};
    QTest::newRow("a stray argument") << QStringList{"COM1"};
    QTest::newRow("good mapping, bad option")
        << QStringList{"--port", "COM1=/dev/ttyUSB0", "--trace"};
    QTest::newRow("--log without a file") << QStringList{"--log"};
    QTest::newRow("--log, empty name") << QStringList{"--log", ""};
    QTest::newRow("--log in a missing folder") << QStringList{"--log", "/nonexistent/run.csv"};
    QTest::newRow("--log a folder nothing can be made in")
        << QStringList{"--trend", "--log", "/sys"};
    QTest::newRow("--log a device, a full disk") << QStringList{"--log", "/dev/full"};
    QTest::newRow("--log a device that is not /dev/null") << QStringList{"--log", "/dev/zero"};
    const QString unread = config_.filePath(QStringLiteral("unread-fifo"));
    ::mkfifo(QFile::encodeName(unread).constData(), 0600);
    QTest::newRow("--log a pipe nobody reads, at once") << QStringList{"--log", unread};
}

// Exit status 2, one line on stderr, nothing else: no window, nothing opened or saved.
void ToolProcessTest::usageErrors() {
    QFETCH(QStringList, arguments);
    QTemporaryDir config;
    const Run run = runTool(arguments, noDisplay(config.path()));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith(QStringLiteral("gx7140r-tool: ")), qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY(run.err.endsWith(u'\n'));
    QVERIFY(QDir(config.path()).isEmpty());
}

void ToolProcessTest::savedMappingEditedAndPrinted() {
    QTemporaryDir config;
    const auto env = noDisplay(config.path());
    Run run = runTool({"--save-port", "COM3=ttyUSB0", "--save-port",
                       "COM1=/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"},
                      env);
    QCOMPARE(run.exitCode, 0);
    const QString file = config.filePath(QStringLiteral("gx7140r-tool/ports.conf"));
    QCOMPARE(run.out, QStringLiteral("Saved port mapping (%1):\n"
                                     "  COM1=/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0\n"
                                     "  COM3=/dev/ttyUSB0\n")
                          .arg(file));
    run = runTool({"--forget-port", "com1"}, env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Saved port mapping (%1):\n  COM3=/dev/ttyUSB0\n").arg(file));
    run = runTool({"--list-ports", "--port", "COM2=/dev/ttyS0"}, env);
    QCOMPARE(run.exitCode, 0);
}

void ToolProcessTest::signalsEndTheProgramLikeAClose_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("savedMapping"); // else --port
    QTest::newRow("SIGTERM, --port") << int(SIGTERM) << false;
    QTest::newRow("SIGINT, --port") << int(SIGINT) << false;
    QTest::newRow("SIGHUP, saved mapping") << int(SIGHUP) << true;
    QTest::newRow("SIGQUIT, --port") << int(SIGQUIT) << false;
}

// Started on a pty (no /dev/COM1 needed), the window opens it at start-up and holds its lock;
// a signal ends the program as a close of the window does: exit status 0, the lock gone.
void ToolProcessTest::signalsEndTheProgramLikeAClose() {
    QFETCH(int, signal);
    QFETCH(bool, savedMapping);
    PtyPair pty;
    QVERIFY(pty.valid());
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QStringList arguments{"--port", "COM1=" + pty.path};
    if (savedMapping) {
        QCOMPARE(runTool({"--save-port", "COM1=" + pty.path}, env).exitCode, 0);
        arguments.clear();
    }
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(kTool, arguments);
    QVERIFY(tool.waitForStarted());
    QString lock;
    QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFileOf(tool.processId())).isEmpty(), 15000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
}

void ToolProcessTest::logAndTrendAroundTheWindow_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("made"); // in the working directory, each a log with its header
    QTest::newRow("a file") << "run.csv" << QStringList{"run.csv"};
    QTest::newRow("/dev/null: accepted, keeps nothing") << "/dev/null" << QStringList{};
}

// --log and --trend with the window on a pty: the log is created with its header, and the program
// still ends cleanly on a signal.
void ToolProcessTest::logAndTrendAroundTheWindow() {
    QFETCH(QString, log);
    QFETCH(QStringList, made);
    QTemporaryDir folder;
    runWindowUntilSignal({"--log", log, "--trend"}, noDisplay(folder.path()), folder.path(), 5);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             made);
    for (const QString &file : made)
        QVERIFY(contentOf(folder.filePath(file)).startsWith(kLogHeader));
}

// Two runs with the same folder: two files, each with its header, the first run's left as it was
// and sorting first.
void ToolProcessTest::aLogFolderGetsAFileForEachRun() {
    QTemporaryDir folder;
    const QString logs = folder.filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkdir(logs));
    QStringList earlier;
    QByteArray firstRun;
    for (int run = 1; run <= 2; ++run) {
        runWindowUntilSignal({"--log", logs}, noDisplay(folder.path()), folder.path(), 3);
        if (QTest::currentTestFailed())
            return;
        QStringList files = QDir(logs).entryList(QDir::Files);
        files.sort();
        QCOMPARE(files.size(), run);
        QCOMPARE(files.mid(0, run - 1), earlier);
        QVERIFY(contentOf(QDir(logs).filePath(files.last())).startsWith(kLogHeader));
        if (run == 1)
            firstRun = contentOf(QDir(logs).filePath(files.first()));
        earlier = files;
    }
    QCOMPARE(contentOf(QDir(logs).filePath(earlier.first())), firstRun);
}

void ToolProcessTest::desktopActionsStartTheWindow_data() {
    QTest::addColumn<QStringList>("exec");
    QTest::addColumn<QString>("userDirs");  // ~/.config/user-dirs.dirs, none when empty
    QTest::addColumn<QString>("logFolder"); // under HOME, where the log goes; empty: no log
    const QString chinese = QStringLiteral("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
    const QString folder = QStringLiteral("gx7140r-tool logs");
    const auto actions = desktopActions();
    for (const auto &[action, exec] : actions) {
        const bool logs = exec.contains(QStringLiteral("--log"));
        QTest::addRow("%s", qPrintable(action))
            << exec << chinese << (logs ? QStringLiteral("文档/") + folder : QString());
        if (logs)
            QTest::addRow("%s, no user-dirs.dirs", qPrintable(action))
                << exec << QString() << QStringLiteral("Documents/") + folder;
    }
    if (actions.isEmpty())
        QTest::newRow("the desktop entry has no actions")
            << QStringList{} << QString() << QString();
}

// Each action of the desktop entry, as a launcher starts it (no shell: no ~, no $HOME), in a
// fresh home: the window runs; the log goes into the documents folder's log folder, which is made.
void ToolProcessTest::desktopActionsStartTheWindow() {
    QFETCH(QStringList, exec);
    QFETCH(QString, userDirs);
    QFETCH(QString, logFolder);
    QVERIFY(!exec.isEmpty());
    QCOMPARE(exec.takeFirst(), QStringLiteral("gx7140r-tool"));
    QTemporaryDir home;
    const QDir config(home.filePath(QStringLiteral(".config")));
    QVERIFY(config.mkpath(QStringLiteral(".")));
    if (!userDirs.isEmpty()) {
        QFile dirs(config.filePath(QStringLiteral("user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(userDirs.toUtf8());
    }
    QProcessEnvironment env = noDisplay(config.path());
    env.insert(QStringLiteral("HOME"), home.path());
    runWindowUntilSignal(exec, env, home.path(), 3);
    if (QTest::currentTestFailed())
        return;
    const QStringList made =
        QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (logFolder.isEmpty()) {
        QCOMPARE(made, QStringList{".config"});
        return;
    }
    const QDir logs(home.filePath(logFolder));
    const QStringList files = logs.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(contentOf(logs.filePath(files.first())).startsWith(kLogHeader));
}

void ToolProcessTest::aLogThatFailsLeavesTheWindowRunning_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("--log /dev/stdout | head -1") << QStringLiteral("stdout");
    QTest::newRow("a FIFO whose reader goes away") << QStringLiteral("fifo");
    QTest::newRow("a file that reaches the size limit") << QStringLiteral("file");
}

// The log's file goes bad while the window runs on a pty (each byte the module side sends is a
// reply, a line of the log): the window is not killed (SIGPIPE, SIGXFSZ), it lets go of the log,
// and it still ends on a signal as a close does, with exit status 0 and no lock left behind.
void ToolProcessTest::aLogThatFailsLeavesTheWindowRunning() {
    QFETCH(QString, target);
    PtyPair pty;
    QTemporaryDir folder;
    QProcessEnvironment env = noDisplay(folder.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QString log = folder.filePath(target == QStringLiteral("fifo") ? "fifo" : "run.csv");
    int pipe[2] = {-1, -1}; // the test's reading end, and the tool's writing end (stdout)
    QProcess tool;
    tool.setProcessEnvironment(env);
    if (target == QStringLiteral("stdout")) {
        log = QStringLiteral("/dev/stdout");
        QCOMPARE(::pipe2(pipe, O_CLOEXEC), 0);
        tool.setChildProcessModifier([writer = pipe[1]] { ::dup2(writer, STDOUT_FILENO); });
    } else if (target == QStringLiteral("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        pipe[0] = ::open(QFile::encodeName(log).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } else {
        tool.setChildProcessModifier([] {
            const rlimit limit{1000, 1000}; // the header and a few lines
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    tool.start(kTool, {"--port", "COM1=" + pty.path, "--log", log});
    QVERIFY(tool.waitForStarted());
    ::close(pipe[1]);
    QString lock;
    QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFileOf(tool.processId())).isEmpty(), 15000);
    const QString logged =
        target == QStringLiteral("stdout")
            ? QFile::symLinkTarget(QStringLiteral("/proc/%1/fd/1").arg(tool.processId()))
            : log;
    char header[16]; // read as head does, then gone
    if (target == QStringLiteral("stdout"))
        QCOMPARE(QByteArray(header, int(::read(pipe[0], header, 16))), "time,event,kind,");
    ::close(pipe[0]);
    const int openAtStart = openCount(tool.processId(), logged);
    for (int i = 0; i < 400 && openCount(tool.processId(), logged) == openAtStart; ++i) {
        pty.send("\x01");
        QTest::qWait(50);
    }
    QCOMPARE(openCount(tool.processId(), logged), openAtStart - 1); // the log let go
    QCOMPARE(tool.state(), QProcess::Running);
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
    QFile file(log);
    if (target == QStringLiteral("file") && file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.last(), QByteArray()); // cut back to a whole line
        for (const QByteArray &row : rows.mid(0, rows.size() - 1))
            QCOMPARE(row.count(','), rows.first().count(','));
    }
}

QTEST_GUILESS_MAIN(ToolProcessTest)
#include "tool_process_test.moc"
