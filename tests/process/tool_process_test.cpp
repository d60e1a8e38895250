// The program as a user starts it: the command line without a display, and the way it ends when
// the system asks it to.
#include "program_runner.h"
#include "pty_pair.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

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

} // namespace

class ToolProcessTest : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void usageErrors_data();
    void usageErrors();
    void savedMappingEditedAndPrinted();
    void signalsEndTheProgramLikeAClose_data();
    void signalsEndTheProgramLikeAClose();
    void logAndTrendAroundTheWindow();

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
    QTest::newRow("--log a folder") << QStringList{"--trend", "--log", "/tmp"};
    QTest::newRow("--log on a full disk") << QStringList{"--log", "/dev/full"};
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

// --log and --trend with the window on a pty: the log is created with its header, and the program
// still ends cleanly on a signal.
void ToolProcessTest::logAndTrendAroundTheWindow() {
    PtyPair pty;
    QVERIFY(pty.valid());
    QTemporaryDir folder;
    QProcessEnvironment env = noDisplay(folder.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString log = folder.filePath(QStringLiteral("run.csv"));
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(kTool, {"--port", "COM1=" + pty.path, "--log", log, "--trend"});
    QVERIFY(tool.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!lockFileOf(tool.processId()).isEmpty(), 15000);
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("time,event,kind,request_hex,reply_hex,status,"));
}

QTEST_GUILESS_MAIN(ToolProcessTest)
#include "tool_process_test.moc"
