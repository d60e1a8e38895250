// The program as a user starts it: the command line without a display, and the way it ends when
// the system asks it to.
#include "program_runner.h"
#include "pty_pair.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
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

// The same on Qt's offscreen platform: the window runs and shows nothing.
QProcessEnvironment offscreen(const QString &configHome) {
    QProcessEnvironment env = noDisplay(configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

Run runTool(const QStringList &arguments, const QProcessEnvironment &env,
            const std::function<void()> &childSetUp = {}) {
    return runProgram(kTool, arguments, env, 20000, childSetUp);
}

// Starts the window and waits until it holds its port's lock: the lock file, empty when none came.
QString startedWindow(QProcess &tool, const QStringList &arguments) {
    tool.start(kTool, arguments);
    QString lock;
    const auto locked = [&] { return !(lock = lockFileOf(tool.processId())).isEmpty(); };
    return tool.waitForStarted() && QTest::qWaitFor(locked, 15000) ? lock : QString();
}

// The signal ends the window as a close does: exit status 0, the lock gone.
void endsLikeAClose(QProcess &tool, const QString &lock, int signal = SIGTERM) {
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
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
// takes three bytes from the module side (each one a reply, a line of a log) and ends on SIGTERM
// as a close does, exit status 0 and its lock gone.
void runWindowUntilSignal(const QStringList &arguments, const QProcessEnvironment &env,
                          const QString &workingDirectory) {
    PtyPair pty;
    QVERIFY(pty.valid());
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(workingDirectory);
    const QString lock = startedWindow(tool, QStringList{"--port", "COM1=" + pty.path} + arguments);
    QVERIFY(!lock.isEmpty());
    for (int reply = 0; reply < 3; ++reply) {
        pty.send("\x01");
        QTest::qWait(20);
    }
    QCOMPARE(tool.state(), QProcess::Running);
    endsLikeAClose(tool, lock);
}

// Every Exec line of the desktop entry, the entry's own and its actions'.
QStringList desktopExecLines() {
    QFile entry(QStringLiteral(GX7140R_DESKTOP_ENTRY));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(entry.readAll()).split(u'\n').filter(QRegularExpression("^Exec="));
}

// How many files of the folder are logs that begin with their header.
int logsIn(const QDir &folder) {
    int logs = 0;
    for (const QString &name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        logs += file.open(QIODevice::ReadOnly) && file.readLine().startsWith("time,event,kind,");
    }
    return logs;
}

} // namespace

class ToolProcessTest : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void windowWithClosedStandardStreams_data();
    void windowWithClosedStandardStreams();
    void usageErrors_data();
    void usageErrors();
    void aLogRefusedAtItsHeaderLeavesNoFile();
    void savedMappingEditedAndPrinted();
    void signalsEndTheProgramLikeAClose_data();
    void signalsEndTheProgramLikeAClose();
    void logAndTrendAroundTheWindow_data();
    void logAndTrendAroundTheWindow();
    void aLogThatFailsLeavesTheWindowRunning_data();
    void aLogThatFailsLeavesTheWindowRunning();

private:
    QTemporaryDir config_;
};

void ToolProcessTest::answersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QList<int>>("closed"); // standard descriptors closed when it starts
    QTest::addColumn<bool>("fullDisk");     // standard output on /dev/full
    const std::pair<const char *, const char *> answers[] = {
        {"--help", "Usage: gx7140r-tool [OPTION]..."},
        {"-h", "Usage: gx7140r-tool [OPTION]..."},
        {"--version", "gx7140r-tool 0.1.0"},
        {"--list-ports", ""}};
    for (const auto &[option, firstLine] : answers) {
        QTest::addRow("%s", option) << QStringList{option} << firstLine << QList<int>{} << false;
        QTest::addRow("%s, standard output closed", option)
            << QStringList{option} << firstLine << QList<int>{1} << false;
        QTest::addRow("%s, standard output and error closed", option)
            << QStringList{option} << firstLine << QList<int>{1, 2} << false;
        QTest::addRow("%s, standard output on a full disk", option)
            << QStringList{option} << firstLine << QList<int>{} << true;
    }
}

// An answer with nowhere to go (standard output closed, or on a full disk) is a failure: exit
// status 1, the reason where it can be told.
void ToolProcessTest::answersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, firstLine);
    QFETCH(QList<int>, closed);
    QFETCH(bool, fullDisk);
    if (fullDisk) {
        const Run run = runTool(arguments, noDisplay(config_.path()), [] {
            const int full = ::open("/dev/full", O_WRONLY);
            ::dup2(full, STDOUT_FILENO);
        });
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QStringLiteral("gx7140r-tool: cannot write standard output: %1\n")
                              .arg(QString::fromLocal8Bit(std::strerror(ENOSPC))));
        return;
    }
    const Run run = runTool(arguments, noDisplay(config_.path()), closingDescriptors(closed));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    if (closed.contains(1)) {
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, closed.contains(2) ? QString()
                                             : QStringLiteral("gx7140r-tool: cannot write "
                                                              "standard output: it is closed\n"));
        return;
    }
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QVERIFY(!run.out.isEmpty());
    if (!firstLine.isEmpty())
        QCOMPARE(run.out.section(u'\n', 0, 0), firstLine);
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
    QProcess tool;
    tool.setProcessEnvironment(offscreen(config_.path()));
    tool.setChildProcessModifier(closingDescriptors(closed));
    const QString lock = startedWindow(tool, {"--port", "COM1=" + pty.path});
    QVERIFY(!lock.isEmpty());
    QVERIFY(onDevNull(tool.processId(), closed));
    // The product link's browser gets SIGXFSZ and SIGPIPE as they should be: caught here, so
    // reset when it starts, where an ignored signal would stay ignored.
    for (const int signal : {SIGXFSZ, SIGPIPE}) {
        QVERIFY(!signalInMask(tool.processId(), "SigIgn", signal));
        QVERIFY(signalInMask(tool.processId(), "SigCgt", signal));
    }
    endsLikeAClose(tool, lock);
    QCOMPARE(pty.receive(), QByteArray());
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

// A new log file that cannot take even its header (the disk full, here a file size limit) is
// refused as a usage error and not left behind empty or cut.
void ToolProcessTest::aLogRefusedAtItsHeaderLeavesNoFile() {
    QTemporaryDir folder;
    const Run run = runTool({"--log", folder.filePath(QStringLiteral("run.csv"))},
                            noDisplay(config_.path()), [] {
                                const rlimit limit{10, 10};
                                ::setrlimit(RLIMIT_FSIZE, &limit);
                            });
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(QStringLiteral("gx7140r-tool: cannot write the log file")),
             qPrintable(run.err));
    QVERIFY(QDir(folder.path()).isEmpty());
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
    const QProcessEnvironment env = offscreen(config.path());
    QStringList arguments{"--port", "COM1=" + pty.path};
    if (savedMapping) {
        QCOMPARE(runTool({"--save-port", "COM1=" + pty.path}, env).exitCode, 0);
        arguments.clear();
    }
    QProcess tool;
    tool.setProcessEnvironment(env);
    const QString lock = startedWindow(tool, arguments);
    QVERIFY(!lock.isEmpty());
    endsLikeAClose(tool, lock, signal);
}

void ToolProcessTest::logAndTrendAroundTheWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("logFolder"); // in the home, which is the working directory
    QTest::addColumn<int>("logs");          // made there, each with its header
    QTest::newRow("a file") << QStringList{"--log", "run.csv", "--trend"} << 1 << "." << 1;
    QTest::newRow("a folder: a file for each run") << QStringList{"--log", "."} << 2 << "." << 2;
    QTest::newRow("/dev/null: accepted, keeps nothing")
        << QStringList{"--log", "/dev/null"} << 1 << "." << 0;
    // As a launcher runs them: no shell, so no ~ and no $HOME.
    for (const QString &exec : desktopExecLines()) {
        const bool logs = exec.contains(QStringLiteral("--log @documents"));
        QTest::addRow("desktop entry: %s", qPrintable(exec))
            << exec.split(u' ').mid(1) << 1
            << (logs ? QStringLiteral("文档/gx7140r-tool logs") : QStringLiteral(".")) << int(logs);
    }
}

// The window on a pty, which logs what the module side sends, in a fresh home whose documents
// folder is ~/文档: the log's files are made with their header (nothing else), and the program
// still ends cleanly on a signal.
void ToolProcessTest::logAndTrendAroundTheWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(int, runs);
    QFETCH(QString, logFolder);
    QFETCH(int, logs);
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral(".config")));
    QFile dirs(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write(QStringLiteral("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n").toUtf8());
    dirs.close();
    QProcessEnvironment env = offscreen(home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("HOME"), home.path());
    for (int run = 0; run < runs && !QTest::currentTestFailed(); ++run)
        runWindowUntilSignal(arguments, env, home.path());
    QCOMPARE(logsIn(home.filePath(logFolder)), logs);
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
             logFolder == QStringLiteral(".") ? logs : 1);
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
    QProcessEnvironment env = offscreen(folder.path());
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
    const QString lock = startedWindow(tool, {"--port", "COM1=" + pty.path, "--log", log});
    ::close(pipe[1]);
    QVERIFY(!lock.isEmpty());
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
    endsLikeAClose(tool, lock);
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
