// The simulated module and the run script as a user starts them: what they do to the path where
// the terminal's link goes, and how they end. The links go into a temporary folder (--link), so
// neither root nor /dev is needed.
#include "pty_pair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString kSim = QStringLiteral(GX7140R_SIM_PATH);
const QString kDemoScript = QStringLiteral(GX7140R_SOURCE_DIR "/scripts/demo.sh");
const QString kBuildDir = QStringLiteral(GX7140R_BUILD_DIR);
const QString kOtherDevice = QStringLiteral("/dev/ttyUSB0");
const QString kDeadTerminal = QStringLiteral("/dev/pts/999999");

// What is at a path, compared before and after: kind, link target, file content.
QString entryAt(const QString &path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget();
    if (info.isFile()) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QStringLiteral("file: ") + file.readAll()
                                              : QStringLiteral("unreadable file");
    }
    return info.exists() ? QStringLiteral("something") : QString();
}

bool makeLink(const QString &target, const QString &path) {
    return QFile::link(target, path);
}

// The /dev entries named COM*, with their link targets.
QStringList comEntries() {
    QStringList entries;
    for (const QFileInfo &info :
         QDir(QStringLiteral("/dev"))
             .entryInfoList({QStringLiteral("COM*")}, QDir::System | QDir::AllEntries))
        entries << info.fileName() + u' ' + entryAt(info.absoluteFilePath());
    return entries;
}

} // namespace

class SimProcessTest : public QObject {
    Q_OBJECT
private slots:
    void linkOnlyWhereNothingIsRemoveOnlyOwn_data();
    void linkOnlyWhereNothingIsRemoveOnlyOwn();
    void runScriptReadsTheModuleWithoutTouchingDev();
    void badBusOrEchoIsAUsageError_data();
    void badBusOrEchoIsAUsageError();
};

void SimProcessTest::linkOnlyWhereNothingIsRemoveOnlyOwn_data() {
    QTest::addColumn<QString>("before"); // none, other, live, file, stale
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<bool>("userRelinks"); // the user points the path elsewhere while it runs
    QTest::newRow("nothing there, SIGTERM") << "none" << int(SIGTERM) << true << false;
    QTest::newRow("nothing there, SIGINT") << "none" << int(SIGINT) << true << false;
    QTest::newRow("nothing there, SIGHUP") << "none" << int(SIGHUP) << true << false;
    QTest::newRow("own stale link to a dead terminal") << "stale" << int(SIGTERM) << true << false;
    QTest::newRow("link to another device") << "other" << int(SIGTERM) << false << false;
    QTest::newRow("link to a live terminal") << "live" << int(SIGTERM) << false << false;
    QTest::newRow("regular file") << "file" << int(SIGTERM) << false << false;
    QTest::newRow("relinked by the user while it runs") << "none" << int(SIGTERM) << true << true;
}

// The simulator links its terminal only where nothing is (or its own stale link was); anything
// else stays as it was, and it says how to go on. A signal ends it with status 0, and it removes
// the link only if the link still leads to its terminal.
void SimProcessTest::linkOnlyWhereNothingIsRemoveOnlyOwn() {
    QFETCH(QString, before);
    QFETCH(int, signal);
    QFETCH(bool, linked);
    QFETCH(bool, userRelinks);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString link = folder.filePath(QStringLiteral("COM1"));
    PtyPair live;
    QVERIFY(live.valid());
    if (before == "other")
        QVERIFY(makeLink(kOtherDevice, link));
    else if (before == "live")
        QVERIFY(makeLink(live.path, link));
    else if (before == "stale")
        QVERIFY(makeLink(kDeadTerminal, link));
    else if (before == "file") {
        QFile file(link);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the user's own file\n");
    }
    const QString entryBefore = entryAt(link);

    QProcess sim;
    sim.start(kSim, {"--link", link, "--steady"});
    QVERIFY(sim.waitForStarted());
    // The first line names the terminal; the link is made (or refused) right after it.
    QString out, err;
    const QRegularExpression terminalLine(QStringLiteral(" on (/dev/pts/[0-9]+) "));
    QRegularExpressionMatch terminal;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromLocal8Bit(sim.readAllStandardOutput()),
                              err += QString::fromLocal8Bit(sim.readAllStandardError()),
                              (terminal = terminalLine.match(out)).hasMatch() &&
                                  (out.contains(QStringLiteral("linked ")) ||
                                   err.contains(QStringLiteral("gx7140r-sim: ")))),
                             15000);
    const QString pty = terminal.captured(1);

    if (linked) {
        QCOMPARE(entryAt(link), QStringLiteral("link to ") + pty);
        QVERIFY2(err.isEmpty(), qPrintable(err));
    } else {
        QCOMPARE(entryAt(link), entryBefore);
        QVERIFY2(err.contains(link + QStringLiteral(" is taken")), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("gx7140r-tool --port COM1=") + pty), qPrintable(err));
    }
    QString userEntry;
    if (userRelinks) {
        const QString replacement = folder.filePath(QStringLiteral("replacement"));
        QVERIFY(makeLink(kOtherDevice, replacement));
        QVERIFY(::rename(QFile::encodeName(replacement), QFile::encodeName(link)) == 0);
        userEntry = entryAt(link);
    }

    ::kill(pid_t(sim.processId()), signal);
    QVERIFY(sim.waitForFinished(15000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    if (userRelinks)
        QCOMPARE(entryAt(link), userEntry);
    else if (linked)
        QCOMPARE(entryAt(link), QString());
    else
        QCOMPARE(entryAt(link), entryBefore);
}

// run.sh's second half: the simulator on a terminal and the window with that terminal as COM1,
// here without a display, so one reading is taken and pictured. Nothing in /dev is made or
// removed, and the simulator is stopped afterwards.
void SimProcessTest::runScriptReadsTheModuleWithoutTouchingDev() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString picture = folder.filePath(QStringLiteral("window.png"));
    const QStringList devBefore = comEntries();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess script;
    script.setProcessEnvironment(env);
    script.start(QStringLiteral("bash"), {kDemoScript, kBuildDir, picture});
    QVERIFY(script.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(script.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(script.readAllStandardError());
    QCOMPARE(script.exitStatus(), QProcess::NormalExit);
    QVERIFY2(script.exitCode() == 0, qPrintable(out + err));
    const QRegularExpressionMatch port =
        QRegularExpression(QStringLiteral("--port COM1=(/dev/pts/[0-9]+)")).match(out);
    QVERIFY2(port.hasMatch(), qPrintable(out));
    QVERIFY(!QImage(picture).isNull());
    QCOMPARE(comEntries(), devBefore);
    // The window's reading reached the simulator through the terminal.
    QVERIFY2(
        out.contains(QRegularExpression(QStringLiteral("stopped: served [1-9][0-9]* requests"))),
        qPrintable(out));
}

void SimProcessTest::badBusOrEchoIsAUsageError_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("an address twice")
        << QStringList{"--slave", "1,3-5,4"} << "gx7140r-sim: --slave: '1,3-5,4' has 4 twice";
    QTest::newRow("a value for --echo")
        << QStringList{"--echo=yes"} << "gx7140r-sim: bad argument near '--echo=yes'";
}

// A bad list (its problems: address_list_test) or --echo with a value: one line on stderr, exit
// status 2, no terminal linked.
void SimProcessTest::badBusOrEchoIsAUsageError() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString link = folder.filePath(QStringLiteral("COM1"));
    QProcess sim;
    sim.start(kSim, QStringList{"--link", link} + arguments);
    QVERIFY(sim.waitForFinished(15000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(err.startsWith(message) && err.count(u'\n') == 1, qPrintable(err));
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QCOMPARE(entryAt(link), QString());
}

QTEST_GUILESS_MAIN(SimProcessTest)
#include "sim_process_test.moc"
