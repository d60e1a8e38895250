// gx7140r-cli as scripts run it, against the simulated module on a pty: what it prints, what it
// changes in the module, how it fails, and that a usage error sends nothing.
#include "foreign_lock.h"
#include "program_runner.h"
#include "pty_pair.h"
#include "sim_runner.h"

#include "core/exchange_record.h"
#include "core/port_lock.h"
#include "serial/qt_comm_control.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kCli = QStringLiteral(GX7140R_CLI_PATH);
const QString kTool = QStringLiteral(GX7140R_TOOL_PATH);

QProcessEnvironment environment(const QString &configHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

// A saved mapping COM7 -> the simulated module's terminal, in a configuration folder of its own.
struct MappedPort {
    QTemporaryDir config;
    explicit MappedPort(const QString &device) {
        QDir().mkpath(config.filePath("gx7140r-tool"));
        QFile file(config.filePath("gx7140r-tool/ports.conf"));
        if (file.open(QIODevice::WriteOnly))
            file.write(("COM7=" + device + "\n").toUtf8());
    }
};

// A poll of `count` readings started in the background.
void startPoll(QProcess &cli, const QString &port, int count, const QString &configHome) {
    cli.setProcessEnvironment(environment(configHome));
    cli.start(kCli, {"--port", port, "--format", "json", "poll", "--interval", "50", "--count",
                     QString::number(count)});
}

// The state letter of /proc/PID/stat: 'S' while the process sleeps in a call.
char processState(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName >= 0 && afterName + 2 < line.size() ? line[afterName + 2] : '?';
}

// Every line whole, a JSON object of an accepted reading.
int acceptedLines(const QString &out) {
    int accepted = 0;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
        if (QJsonDocument::fromJson(line.toUtf8())[u"status"].toString() == u"accepted")
            ++accepted;
    }
    return out.endsWith(u'\n') ? accepted : -1;
}

using Run = ProgramRun;

// Names of one device in a folder of the test's own: a link to it, a link to that link, a link as
// udev makes them in /dev/serial/by-id (relative), and the device itself. The lock files of the
// names go with it.
struct NamesOfOneDevice {
    QTemporaryDir folder;
    QMap<QString, QString> names;
    explicit NamesOfOneDevice(const QString &device) {
        const QString link = folder.filePath("link");
        const QString byIdFolder = folder.filePath("by-id");
        const QString byId = byIdFolder + "/usb-1a86_USB_Serial-if00-port0";
        QDir().mkpath(byIdFolder);
        makeLink(device, link);
        makeLink(link, folder.filePath("link-to-link"));
        makeLink(QDir(byIdFolder).relativeFilePath(device), byId);
        names = {{"link", link},
                 {"link to link", folder.filePath("link-to-link")},
                 {"by-id", byId},
                 {"device", device}};
    }
    ~NamesOfOneDevice() {
        for (const QString &lock : lockFiles())
            QFile::remove(lock);
    }
    // The lock files of every name that are there.
    QStringList lockFiles() const {
        QStringList present;
        for (const QString &name : names) {
            if (QFile::exists(PortLock::lockFilePath(name)))
                present << PortLock::lockFilePath(name);
        }
        return present;
    }
    static void makeLink(const QString &target, const QString &link) {
        QVERIFY(::symlink(QFile::encodeName(target).constData(),
                          QFile::encodeName(link).constData()) == 0);
    }
};

Run runCli(const QStringList &arguments, const QString &configHome = QDir::tempPath()) {
    return runProgram(kCli, arguments, environment(configHome));
}

Run runOn(SimRunner &sim, QStringList arguments) {
    return runCli(QStringList{"--port", sim.path()} + arguments);
}

// RFC 4180 fields of one line.
QStringList csvFields(QStringView line) {
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
            fields.last() += line[++i];
        else if (line[i] == u'"')
            quoted = !quoted;
        else if (line[i] == u',' && !quoted)
            fields << QString();
        else
            fields.last() += line[i];
    }
    return fields;
}

// The values of a read in each format, by name.
QMap<QString, QString> valuesOf(const QString &out, const QString &format) {
    QMap<QString, QString> values;
    if (format == u"json") {
        const QJsonObject object = QJsonDocument::fromJson(out.toUtf8()).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            values.insert(it.key(), it.value().toVariant().toString());
    } else if (format == u"csv") {
        const QStringList lines = out.split(QStringLiteral("\r\n"));
        const QStringList names = csvFields(lines.value(0));
        const QStringList fields = csvFields(lines.value(1));
        for (qsizetype i = 0; i < names.size() && i < fields.size(); ++i)
            values.insert(names[i], fields[i]);
    } else {
        for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
            values.insert(line.section(u' ', 0, 0), line.simplified().section(u' ', 1, 1));
    }
    return values;
}

// Steady modules at these addresses on one terminal.
sim::Options bus(std::vector<int> slaves) {
    sim::Options options = SimRunner::steadyOptions();
    options.slaves = std::move(slaves);
    return options;
}

// The rows of a csv output, without the header, as fields.
QList<QStringList> csvRows(const QString &out) {
    QList<QStringList> rows;
    for (const QString &line : out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(1))
        rows << csvFields(line);
    return rows;
}
constexpr int kCsvStatus = 5;
constexpr int kCsvFirstRegister = 6;
const int kCsvAddress = int(csvFields(modbus::csvHeader()).indexOf(QStringLiteral("address")));
const int kCsvNote = kCsvAddress + 1;

// A row of an accepted measurement holds the module's registers, each field as the module has it.
bool holdsRegisters(const QStringList &row, const std::array<std::uint16_t, 10> &registers) {
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (row.value(kCsvFirstRegister + field.address) !=
            QString::number(registers[std::size_t(field.address)]))
            return false;
    }
    return true;
}

sim::Options withFault(sim::Fault fault, int every = 1) {
    sim::Options options = SimRunner::steadyOptions();
    options.fault = fault;
    options.faultEvery = every;
    return options;
}

} // namespace

class CliProcessTest : public QObject {
    Q_OBJECT
private slots:
    void readPrintsEveryFieldOfTheModule_data();
    void readPrintsEveryFieldOfTheModule();
    void pollPrintsOneTimestampedReadingPerLine();
    void addressChangeIsReadBackAtTheNewAddress();
    void settingsAreWrittenAndReadBack_data();
    void settingsAreWrittenAndReadBack();
    void scanFindsTheModuleAtItsRateAmongSilence();
    void faultsEndWithTheirReason_data();
    void faultsEndWithTheirReason();
    void pollGoesOnThroughAFailedReading();
    void vanishedPortEndsThePoll();
    void interruptEndsThePollAfterAWholeLine();
    void portsThatCannotBeOpenedAndSavedMappings();
    void outputThatCannotBeWrittenEndsWithStatus4_data();
    void outputThatCannotBeWrittenEndsWithStatus4();
    void aSecondCommandLineIsRefused();
    void theWindowAndTheCommandLineRefuseEachOther();
    void namesOfOneDeviceMeetInOneLock_data();
    void namesOfOneDeviceMeetInOneLock();
    void lockFilesOfOtherPrograms_data();
    void lockFilesOfOtherPrograms();
    void closedStandardStreams_data();
    void closedStandardStreams();
    void lostAddressChangeEchoIsCheckedAtTheNewAddress_data();
    void lostAddressChangeEchoIsCheckedAtTheNewAddress();
    void interruptEndsAnExchangeAtOnce_data();
    void interruptEndsAnExchangeAtOnce();
    void interruptEndsARunWhoseReaderStopped();
    void busReadsEachModuleInTurn_data();
    void busReadsEachModuleInTurn();
    void aLateRoundIsNotCaughtUp();
    void pollUntilStable_data();
    void pollUntilStable();
    void echo_data();
    void echo();
    void usageErrors_data();
    void usageErrors();
    void usageErrorsSentNothing();
    void helpVersionAndNoGuiLibraries();

private:
    SimRunner quiet_; // the usage table's module: it must hear nothing
};

void CliProcessTest::readPrintsEveryFieldOfTheModule_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("text") << "text";
    QTest::newRow("csv") << "csv";
    QTest::newRow("json") << "json";
}

void CliProcessTest::readPrintsEveryFieldOfTheModule() {
    QFETCH(QString, format);
    SimRunner sim;
    QVERIFY(sim.ok());
    sim.module().setRegister(0, 812);
    sim.module().setRegister(4, 5000);
    const Run run = runOn(sim, {"--format", format, "read"});
    QCOMPARE(run.exitCode, 0);
    const auto values = valuesOf(run.out, format);
    const auto registers = sim.module().registers();
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        const QString key = QString::fromLatin1(field.key.data(), field.key.size());
        QCOMPARE(values.value(key), QString::number(registers[std::size_t(field.address)]));
    }
    QCOMPARE(values.value(QStringLiteral("address")), QStringLiteral("1"));
}

void CliProcessTest::pollPrintsOneTimestampedReadingPerLine() {
    SimRunner sim;
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"--format", "json", "poll", "--interval", "50", "--count", "20"});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n');
    QCOMPARE(lines.size(), 21);
    QVERIFY(lines.last().isEmpty());
    for (const QString &line : lines.first(20)) {
        const QJsonObject reading = QJsonDocument::fromJson(line.toUtf8()).object();
        QVERIFY2(QDateTime::fromString(reading[u"time"].toString(), Qt::ISODateWithMs).isValid(),
                 qPrintable(line));
        QCOMPARE(reading[u"concentration_ppm"].toInt(), 450);
    }
    QCOMPARE(sim.module().requestsAnswered(), 20);
}

void CliProcessTest::addressChangeIsReadBackAtTheNewAddress() {
    SimRunner sim;
    QVERIFY(sim.ok());
    Run run = runOn(sim, {"address"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("address  1\n"));
    run = runOn(sim, {"--format", "json", "set-address", "17"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8())[u"address"].toInt(), 17);
    QCOMPARE(sim.module().slave(), 17);
    QCOMPARE(runOn(sim, {"--address", "17", "read"}).exitCode, 0);
    QCOMPARE(runOn(sim, {"read"}).exitCode, 1);
}

// Values in the module's range are written and read back (two frames); values outside it, or
// that the register cannot hold as typed, send nothing unless --force writes them as the window
// converts them.
void CliProcessTest::settingsAreWrittenAndReadBack_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("registerAddress");
    QTest::addColumn<int>("expected");
    const auto row = [](const char *name, QStringList arguments, int exitCode, int address,
                        int expected) {
        QTest::newRow(name) << arguments << exitCode << address << expected;
    };
    row("range-coefficient in range", {"range-coefficient", "2"}, 0, 2, 2);
    row("range-high in range", {"range-high", "3000"}, 0, 4, 3000);
    row("display-calibration, lowest", {"display-calibration", "100"}, 0, 5, 100);
    row("range-high above the range", {"range-high", "25000"}, 2, 4, 2000);
    row("display-calibration below the range", {"display-calibration", "50"}, 2, 5, 1000);
    row("range-coefficient, fraction", {"range-coefficient", "1.5"}, 2, 2, 1);
    row("range-coefficient, forced fraction", {"--force", "range-coefficient", "1.5"}, 0, 2, 2);
    row("range-low, forced negative wraps", {"--force", "range-low", "-1"}, 0, 3, 65535);
    row("range-high, forced half to even", {"range-high", "3000.5", "--force"}, 0, 4, 3000);
    row("display-calibration, forced half to even", {"--force", "display-calibration", "999.5"}, 0,
        5, 1000);
}

void CliProcessTest::settingsAreWrittenAndReadBack() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, registerAddress);
    QFETCH(int, expected);
    SimRunner sim;
    QVERIFY(sim.ok());
    const Run run = runOn(sim, QStringList{"--format", "csv", "set"} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(sim.module().registers()[std::size_t(registerAddress)], expected);
    if (exitCode != 0) {
        QCOMPARE(sim.module().framesHeard(), 0);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err.count(u'\n'), 1);
        return;
    }
    QCOMPARE(sim.module().framesHeard(), 2);
    const QStringList fields = csvFields(run.out.section(QStringLiteral("\r\n"), 1, 1));
    QCOMPARE(fields.value(6 + registerAddress), QString::number(expected));
}

void CliProcessTest::scanFindsTheModuleAtItsRateAmongSilence() {
    sim::Options options = SimRunner::steadyOptions();
    options.slave = 17;
    options.baud = 4800;
    options.strictBaud = true;
    SimRunner sim(options);
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"--format", "csv", "scan", "--addresses", "14-19"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("address,baud\r\n17,4800\r\n"));
    QCOMPARE(run.err, QStringLiteral("gx7140r-cli: found 1 module: --baud 4800 --address 17\n"));
    QCOMPARE(sim.module().requestsAnswered(), 1);
    QCOMPARE(runOn(sim, {"scan", "--bauds", "9600", "--addresses", "14-19"}).exitCode, 1);
}

void CliProcessTest::faultsEndWithTheirReason_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("requestsSeen");
    QTest::newRow("silence") << int(sim::Fault::Silence)
                             << "no reply from address 1 within 234 ms (2 tries)" << 2;
    QTest::newRow("bad CRC") << int(sim::Fault::BadCrc)
                             << "invalid reply from address 1: CRC mismatch (2 tries)" << 2;
    QTest::newRow("exception, not tried again")
        << int(sim::Fault::Exception)
        << "address 1 answered with exception 04 (slave device failure)" << 1;
}

void CliProcessTest::faultsEndWithTheirReason() {
    QFETCH(int, fault);
    QFETCH(QString, reason);
    QFETCH(int, requestsSeen);
    SimRunner sim(withFault(sim::Fault(fault)));
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"read"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err, QStringLiteral("gx7140r-cli: %1\n").arg(reason));
    QCOMPARE(sim.module().requestsSeen(), requestsSeen);
}

// Every other reply withheld: the rejected readings are rows of their own, with the reason.
void CliProcessTest::pollGoesOnThroughAFailedReading() {
    SimRunner sim(withFault(sim::Fault::Silence, 2));
    QVERIFY(sim.ok());
    const Run run = runOn(
        sim, {"--retries", "0", "--format", "csv", "poll", "--interval", "50", "--count", "4"});
    QCOMPARE(run.exitCode, 1);
    QStringList statuses;
    for (const QString &row : run.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        statuses << csvFields(row).value(5);
    QCOMPARE(statuses, (QStringList{"status", "accepted", "rejected", "accepted", "rejected"}));
    QCOMPARE(run.err.count(QStringLiteral("no reply from address 1 within 234 ms")), 2);
}

void CliProcessTest::vanishedPortEndsThePoll() {
    SimRunner sim(withFault(sim::Fault::Vanish, 3));
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"--format", "json", "poll", "--interval", "50"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out.count(u'\n'), 2);
    QVERIFY(run.out.endsWith(u'\n'));
    QVERIFY2(
        run.err.startsWith(QStringLiteral("gx7140r-cli: %1: the port is gone (").arg(sim.path())),
        qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);
}

void CliProcessTest::interruptEndsThePollAfterAWholeLine() {
    SimRunner sim;
    QVERIFY(sim.ok());
    QProcess cli;
    cli.start(kCli, {"--port", sim.path(), "--format", "json", "poll", "--interval", "50"});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsAnswered() >= 3, 20000);
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY(out.endsWith(u'\n'));
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
        QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
}

void CliProcessTest::portsThatCannotBeOpenedAndSavedMappings() {
    QTemporaryDir config;
    SimRunner sim;
    QVERIFY(sim.ok());
    QVERIFY(QDir().mkpath(config.filePath("gx7140r-tool")));
    QFile saved(config.filePath("gx7140r-tool/ports.conf"));
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(
        QStringLiteral("[General]\nCOM9=%1\nCOM8=/nonexistent/ttyX\n").arg(sim.path()).toUtf8());
    saved.close();
    QCOMPARE(runCli({"--port", "COM9", "address"}, config.path()).exitCode, 0);
    const Run run = runCli({"--port", "COM8", "address"}, config.path());
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.err, QStringLiteral("gx7140r-cli: cannot open /nonexistent/ttyX (COM8): No such "
                                     "file or directory\n"));
    QCOMPARE(runCli({"--port", "/dev/null", "read"}).exitCode, 3);
}

void CliProcessTest::outputThatCannotBeWrittenEndsWithStatus4_data() {
    QTest::addColumn<qint64>("sizeLimit"); // 0: /dev/full
    QTest::addColumn<QString>("reason");
    QTest::newRow("/dev/full") << qint64(0) << "No space left on device";
    QTest::newRow("file size limit") << qint64(1000) << "File too large";
}

// A poll into a full disk or a file at its size limit: status 4, the reason, and every line that
// was written whole is whole.
void CliProcessTest::outputThatCannotBeWrittenEndsWithStatus4() {
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, reason);
    SimRunner sim;
    QVERIFY(sim.ok());
    QTemporaryDir folder;
    const QString output = sizeLimit ? folder.filePath("out.csv") : QStringLiteral("/dev/full");
    QProcess cli;
    cli.setStandardOutputFile(output);
    cli.setChildProcessModifier([sizeLimit] {
        const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
        if (sizeLimit)
            setrlimit(RLIMIT_FSIZE, &limit);
    });
    cli.start(kCli, {"--port", sim.path(), "--format", "csv", "poll", "--interval", "50", "--count",
                     "40"});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 4);
    QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardError()),
             QStringLiteral("gx7140r-cli: cannot write standard output: %1\n").arg(reason));
    if (!sizeLimit)
        return;
    // Cut back to the last whole line: no half line at the end.
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    QVERIFY(file.size() <= sizeLimit);
    QCOMPARE(lines.takeLast(), QString());
    QVERIFY(lines.size() > 2);
    QCOMPARE(lines.takeFirst(), modbus::csvHeader());
    for (const QString &line : lines) {
        QCOMPARE(csvFields(line).size(), csvFields(modbus::csvHeader()).size());
        QCOMPARE(csvFields(line).value(5), QStringLiteral("accepted"));
    }
}

// A port a poll holds: a second run is refused with the holder's number and name, sends nothing,
// and the poll keeps every reading.
void CliProcessTest::aSecondCommandLineIsRefused() {
    SimRunner sim;
    QVERIFY(sim.ok());
    MappedPort mapped(sim.path());
    QProcess first;
    startPoll(first, QStringLiteral("COM7"), 30, mapped.config.path());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsAnswered() >= 2, 20000);
    const Run second = runCli({"--port", "COM7", "read"}, mapped.config.path());
    QCOMPARE(second.exitCode, 3);
    QCOMPARE(second.err, QStringLiteral("gx7140r-cli: COM7 (%1) is in use by process %2 "
                                        "(gx7140r-cli)\n")
                             .arg(sim.path())
                             .arg(first.processId()));
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(acceptedLines(QString::fromUtf8(first.readAllStandardOutput())), 30);
    QCOMPARE(sim.module().requestsSeen(), 30);
    QVERIFY(lockFileOf(first.processId()).isEmpty());
}

// The window holds its port as the command line does: whichever comes second is refused, and
// the first keeps its port (the poll every reading).
void CliProcessTest::theWindowAndTheCommandLineRefuseEachOther() {
    SimRunner sim;
    QVERIFY(sim.ok());
    QTemporaryDir config;
    QProcessEnvironment env = environment(config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(env);
    window.start(kTool, {"--port", "COM1=" + sim.path()});
    QVERIFY(window.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!lockFileOf(window.processId()).isEmpty(), 20000);
    const Run refused = runCli({"--port", sim.path(), "read"});
    QCOMPARE(refused.exitCode, 3);
    QCOMPARE(refused.err, QStringLiteral("gx7140r-cli: %1 is in use by process %2 (gx7140r-tool)\n")
                              .arg(sim.path())
                              .arg(window.processId()));
    window.terminate();
    QVERIFY(window.waitForFinished(20000));

    const int heardBefore = sim.module().framesHeard();
    QProcess poll;
    startPoll(poll, sim.path(), 100, config.path());
    QVERIFY(poll.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsAnswered() >= 2, 20000);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(kTool, {"--port", "COM1=" + sim.path()});
    QVERIFY(second.waitForStarted());
    QVERIFY(poll.waitForFinished(60000));
    QVERIFY(lockFileOf(second.processId()).isEmpty());
    second.terminate();
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(poll.exitCode(), 0);
    QCOMPARE(acceptedLines(QString::fromUtf8(poll.readAllStandardOutput())), 100);
    QCOMPARE(sim.module().framesHeard() - heardBefore, 100);
}

void CliProcessTest::lostAddressChangeEchoIsCheckedAtTheNewAddress_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("every");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("echo spoilt, answers at 17")
        << int(sim::Fault::BadCrc) << 2 << 0
        << "the change's echo was lost (invalid reply from address 1: CRC mismatch), but the "
           "module answers at 17";
    QTest::newRow("echo drowned in noise, answers at 17")
        << int(sim::Fault::Noise) << 2 << 0 << "but the module answers at 17";
    QTest::newRow("every reply spoilt")
        << int(sim::Fault::BadCrc) << 1 << 1
        << "invalid reply from address 1: CRC mismatch; no answer at 17 either (invalid reply "
           "from address 17: CRC mismatch): the module answers at 1 or 17, try --address 1 and "
           "--address 17";
}

void CliProcessTest::lostAddressChangeEchoIsCheckedAtTheNewAddress() {
    QFETCH(int, fault);
    QFETCH(int, every);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    SimRunner sim(withFault(sim::Fault(fault), every));
    QVERIFY(sim.ok());
    // The fault hits the n-th reply: one read first, so that it hits the change's echo.
    runOn(sim, {"--retries", "0", "address"});
    const Run run = runOn(sim, {"--retries", "0", "set-address", "17"});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(sim.module().slave(), 17);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);
    QCOMPARE(run.out.isEmpty(), exitCode != 0);
}

void CliProcessTest::interruptEndsAnExchangeAtOnce_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGQUIT") << int(SIGQUIT);
}

// A module that never answers and 20 s to wait, twice: the signal ends the run long before
// that, with the shell's status for it and the port's lock gone.
void CliProcessTest::interruptEndsAnExchangeAtOnce() {
    QFETCH(int, signal);
    SimRunner sim(withFault(sim::Fault::Silence));
    QVERIFY(sim.ok());
    QProcess cli;
    cli.start(kCli, {"--port", sim.path(), "--timeout", "20000", "--retries", "1", "read"});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsSeen() >= 1, 20000);
    const QString lock = lockFileOf(cli.processId());
    QVERIFY(!lock.isEmpty());
    // A full file fails its write (EFBIG) instead of ending the program; caught, not ignored.
    QVERIFY(signalInMask(cli.processId(), "SigCgt", SIGXFSZ));
    QVERIFY(!signalInMask(cli.processId(), "SigIgn", SIGXFSZ));
    ::kill(pid_t(cli.processId()), signal);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 128 + signal);
    QVERIFY(!QFile::exists(lock));
    QCOMPARE(sim.module().requestsSeen(), 1);
}

// A reader that stopped reading (a pager left open, a stalled publisher: a full pipe) holds the
// output back, not the signals: SIGTERM ends the run at once, its lock removed.
void CliProcessTest::interruptEndsARunWhoseReaderStopped() {
    SimRunner sim;
    QVERIFY(sim.ok());
    int pipeEnds[2];
    QCOMPARE(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const auto closeEnds = qScopeGuard([&pipeEnds] {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    });
    const int flags = ::fcntl(pipeEnds[1], F_GETFL);
    ::fcntl(pipeEnds[1], F_SETFL, flags | O_NONBLOCK);
    while (::write(pipeEnds[1], "x", 1) == 1) { // full before the program's first byte
    }
    ::fcntl(pipeEnds[1], F_SETFL, flags);
    QProcess cli;
    cli.setChildProcessModifier([output = pipeEnds[1]] { ::dup2(output, STDOUT_FILENO); });
    cli.start(kCli, {"--port", sim.path(), "--format", "csv", "read"});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsAnswered() == 1, 20000);
    const QString lock = lockFileOf(cli.processId());
    QVERIFY(!lock.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(processState(cli.processId()) == 'S', 20000); // waits to write
    ::kill(pid_t(cli.processId()), SIGTERM);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 128 + SIGTERM);
    QVERIFY(!QFile::exists(lock));
}

// A bus of two modules and an address no module answers at, read in the order listed: a row
// for each, the silent one rejected with its reason (on stderr as well), the others' registers
// exactly; exit status 1. A poll whose rounds never fit says so once and doubles none.
void CliProcessTest::busReadsEachModuleInTurn_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rounds");
    QTest::newRow("read") << QStringList{"read"} << "measurement" << 1;
    QTest::newRow("poll, rounds that never fit the interval")
        << QStringList{"poll", "--interval", "50", "--count", "3"} << "measurement" << 3;
    QTest::newRow("address") << QStringList{"address"} << "address-read" << 1;
}

void CliProcessTest::busReadsEachModuleInTurn() {
    QFETCH(QStringList, command);
    QFETCH(QString, kind);
    QFETCH(int, rounds);
    SimRunner sim(bus({5, 1}));
    QVERIFY(sim.ok());
    sim.module().setRegister(4, 3000, 1); // the module at 1: a range of its own
    const Run run = runOn(
        sim, QStringList{"--address", "1,3,5", "--retries", "0", "--format", "csv"} + command);
    QCOMPARE(run.exitCode, 1);
    const QList<QStringList> rows = csvRows(run.out);
    QCOMPARE(rows.size(), 3 * rounds);
    const std::size_t moduleAt[] = {0, 1, 0, 0, 0, 0}; // by address: 1 is the second module
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList &row = rows[i];
        const int address = QList<int>{1, 3, 5}[i % 3];
        QCOMPARE(row.value(kCsvAddress), QString::number(address));
        QCOMPARE(row.value(2), kind);
        if (address == 3) {
            QCOMPARE(row.value(kCsvStatus), QStringLiteral("rejected"));
            QVERIFY2(row.value(kCsvNote).startsWith("no reply from address 3 within"),
                     qPrintable(row.join(u',')));
            continue;
        }
        QCOMPARE(row.value(kCsvStatus), QStringLiteral("accepted"));
        if (kind == u"measurement")
            QVERIFY2(holdsRegisters(row, sim.module().registers(moduleAt[address])),
                     qPrintable(row.join(u',')));
    }
    QCOMPARE(run.err.count(QStringLiteral("no reply from address 3 within")), rounds);
    QCOMPARE(sim.module().requestsSeen(), 2 * rounds); // no round doubled
    // A poll's rounds take 234 ms and more (the silent address): said once, with the figures.
    static const QRegularExpression overrun(
        QStringLiteral("^gx7140r-cli: rounds of 3 readings take \\d+ ms \\(\\d+ ms each\\), "
                       "more than --interval 50: polling as fast as the line allows$"),
        QRegularExpression::MultilineOption);
    QCOMPARE(run.err.count(overrun), rounds > 1 ? 1 : 0);
    QCOMPARE(run.err.count(u'\n'), rounds + (rounds > 1 ? 1 : 0));
}

// Two modules every 1000 ms, both silent in the third round (1.2 s each): that round does not
// fit; the fourth starts when it ends and the fifth an interval after the fourth, not at once to
// catch up. Once is not said: the interval fits the bus. Only lower bounds of time are checked: a
// slow machine makes the gaps longer, never shorter.
void CliProcessTest::aLateRoundIsNotCaughtUp() {
    sim::Options options = bus({1, 2});
    options.fault = sim::Fault::Silence;
    options.faultEvery = 3;
    SimRunner sim(options);
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"--address", "1,2", "--retries", "0", "--timeout", "1200",
                                "--format", "csv", "poll", "--interval", "1000", "--count", "5"});
    QCOMPARE(run.exitCode, 1);
    const QList<QStringList> rows = csvRows(run.out);
    QCOMPARE(rows.size(), 10);
    QStringList statuses;
    for (const QStringList &row : rows)
        statuses << row.value(kCsvStatus).left(1);
    QCOMPARE(statuses.join(QString()), QStringLiteral("aaaarraaaa"));
    QCOMPARE(sim.module().requestsSeen(), 10);
    QCOMPARE(run.err.count(u'\n'), 2); // the two silent readings
    const auto startOfRound = [&rows](int round) {
        return QDateTime::fromString(rows[2 * (round - 1)].value(0), Qt::ISODateWithMs);
    };
    QVERIFY(startOfRound(3).msecsTo(startOfRound(4)) >= 1200); // its second silent reading
    QVERIFY(startOfRound(4).msecsTo(startOfRound(5)) >= 500);
}

void CliProcessTest::pollUntilStable_data() {
    QTest::addColumn<bool>("drift");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("line"); // for each module, %1 its address, %2 its concentration
    QTest::newRow("steady modules settle")
        << false << 0 << "address %1 settled at %2 ppm: spread 0 ppm over the last 1 s";
    QTest::newRow("drifting modules do not, within the count")
        << true << 1
        << "address %1 did not settle: spread [1-9]\\d* ppm over the last 1 s, more than 0 "
           "\\(last \\d+ ppm\\)";
}

// Two modules every 100 ms until each stayed within 0 ppm for a second: steady ones settle and
// end the poll at once, drifting ones (their jitter alone moves them) have not when the 15
// rounds are up. One line a module on stderr.
void CliProcessTest::pollUntilStable() {
    QFETCH(bool, drift);
    QFETCH(int, exitCode);
    QFETCH(QString, line);
    sim::Options options = bus({1, 2});
    options.drift = drift;
    SimRunner sim(options);
    QVERIFY(sim.ok());
    const Run run = runOn(sim, {"--address", "1,2", "--format", "json", "poll", "--interval", "100",
                                "--count", "15", "--until-stable", "0,1"});
    QCOMPARE(run.exitCode, exitCode);
    // One line a module (a busy machine may add that the rounds do not fit the interval).
    const QStringList lines =
        run.err.split(u'\n', Qt::SkipEmptyParts).filter(QStringLiteral("gx7140r-cli: address "));
    QCOMPARE(lines.size(), 2);
    for (int module = 0; module < 2; ++module) {
        const QString expected =
            QString(line)
                .replace("%1", QString::number(module + 1))
                .replace("%2", QString::number(sim.module().registers(std::size_t(module))[0]));
        QVERIFY2(
            QRegularExpression("^gx7140r-cli: " + expected + "$").match(lines[module]).hasMatch(),
            qPrintable(lines[module]));
    }
    const int readings = int(run.out.count(u'\n'));
    QVERIFY(drift ? readings == 30 : readings < 30);
}

void CliProcessTest::echo_data() {
    QTest::addColumn<bool>("lineEchoes");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("requestsSeen");
    const auto row = [](const char *name, bool lineEchoes, QStringList arguments, int exitCode,
                        const char *err, int requestsSeen) {
        QTest::newRow(name) << lineEchoes << arguments << exitCode << QString(err) << requestsSeen;
    };
    row("--echo, a bus read", true, {"--echo", "--address", "1,5", "--format", "csv", "read"}, 0,
        "", 2);
    row("--echo, a setting written and read back", true,
        {"--echo", "--address", "5", "set", "range-high", "3000"}, 0, "", 2);
    row("a measurement read given back", true, {"read"}, 1,
        "invalid reply from address 1: the line gives back what was sent: start with --echo", 1);
    row("an address read given back", true, {"--address", "5", "address"}, 1,
        "invalid reply from address 5: the line gives back what was sent: start with --echo", 1);
    row("--echo on a line that does not echo", false, {"--echo", "--retries", "0", "read"}, 1,
        "invalid reply from address 1: the line did not give back what was sent: start without "
        "--echo",
        1);
    row("a scan given back", true, {"scan", "--bauds", "9600", "--addresses", "1-6"}, 1,
        "no module answered at addresses 1-6 (invalid reply from address 1: the line gives back "
        "what was sent: start with --echo)",
        2);
}

// A line that gives back every request (gx7140r-sim --echo): with --echo the echo is taken off
// and the replies read as from any line; without it a read names --echo and is not tried again.
// --echo on a line that gives nothing back names that too.
void CliProcessTest::echo() {
    QFETCH(bool, lineEchoes);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QFETCH(int, requestsSeen);
    sim::Options options = bus({1, 5});
    options.echo = lineEchoes;
    SimRunner sim(options);
    QVERIFY(sim.ok());
    sim.module().setRegister(4, 2500, 1);
    const Run run = runOn(sim, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err, err.isEmpty() ? QString() : "gx7140r-cli: " + err + "\n");
    QCOMPARE(sim.module().requestsSeen(), requestsSeen);
    if (arguments.contains("set"))
        QCOMPARE(sim.module().registers(1)[4], 3000);
    if (arguments.contains("csv")) {
        const QList<QStringList> rows = csvRows(run.out);
        QCOMPARE(rows.size(), 2);
        for (int module = 0; module < 2; ++module) {
            QVERIFY(holdsRegisters(rows[module], sim.module().registers(std::size_t(module))));
            // the module's reply alone
            QCOMPARE(rows[module].value(4).left(8),
                     QStringLiteral("0%1 03 14").arg(module ? 5 : 1));
        }
    }
}

// The messages are a unit table (cli_unit_test); these rows check that the program is wired to
// it: status 2 and the message for an option, a command's argument and a refused setting.
void CliProcessTest::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("address 248") << QStringList{"-a", "248", "read"}
                                 << "--address: '248' is out of range (1 to 247)";
    QTest::newRow("range-high 25000")
        << QStringList{"set", "range-high", "25000"}
        << "set: range-high 25000 is outside the module's range 1000 to 20000; --force writes "
           "25000";
}

// Exit status 2, the message on one line of stderr, nothing on stdout.
void CliProcessTest::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QVERIFY(quiet_.ok());
    const Run run = runCli(QStringList{"--port", quiet_.path()} + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err, QStringLiteral("gx7140r-cli: %1 (see --help)\n").arg(message));
    QCOMPARE(quiet_.module().framesHeard(), 0);
}

// The module read its line all along: one good request afterwards is the only frame it heard (a
// byte left behind by the table would have come before it, or spoiled it).
void CliProcessTest::usageErrorsSentNothing() {
    QCOMPARE(runCli({"--port", quiet_.path(), "address"}).exitCode, 0);
    QCOMPARE(quiet_.module().framesHeard(), 1);
}

void CliProcessTest::helpVersionAndNoGuiLibraries() {
    Run run = runCli({"--help"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.section(u'\n', 0, 0),
             QStringLiteral("Usage: gx7140r-cli [OPTION]... COMMAND [ARGUMENT]..."));
    QVERIFY(run.out.contains(QStringLiteral("\nExit status:\n")));
    run = runCli({"--version"});
    QCOMPARE(run.out, QStringLiteral("gx7140r-cli " GX7140R_VERSION "\n"));
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {"-d", kCli});
    if (!readelf.waitForFinished(20000) || readelf.exitCode() != 0)
        QSKIP("readelf is not available");
    const QString needed = QString::fromUtf8(readelf.readAllStandardOutput());
    QVERIFY(needed.contains(QStringLiteral("libmodbus")));
    QVERIFY2(!needed.contains(QStringLiteral("Qt6Gui")) &&
                 !needed.contains(QStringLiteral("Qt6Widgets")),
             qPrintable(needed));
}

void CliProcessTest::namesOfOneDeviceMeetInOneLock_data() {
    QTest::addColumn<bool>("windowFirst");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("secondName");
    const auto row = [](bool windowFirst, const char *first, const char *second) {
        const QString name = QStringLiteral("%1 on %2, %3 on %4")
                                 .arg(windowFirst ? "window" : "command line", first,
                                      windowFirst ? "command line" : "window", second);
        QTest::newRow(qPrintable(name)) << windowFirst << first << second;
    };
    row(true, "link", "device");
    row(true, "device", "link");
    row(true, "link to link", "by-id");
    row(true, "by-id", "link to link");
    row(false, "link", "device");
    row(false, "device", "by-id");
    row(false, "by-id", "link to link");
    row(false, "link to link", "link");
}

// The window's serial control and the command line on two names of one device: whichever comes
// second is refused, the first keeps the line to itself, and no lock is left behind.
void CliProcessTest::namesOfOneDeviceMeetInOneLock() {
    QFETCH(bool, windowFirst);
    QFETCH(QString, firstName);
    QFETCH(QString, secondName);
    SimRunner sim;
    QVERIFY(sim.ok());
    NamesOfOneDevice device(sim.path());
    const QString first = device.names.value(firstName);
    const QString second = device.names.value(secondName);
    QtCommControl window([&](int) { return windowFirst ? first : second; });
    if (windowFirst) {
        QVERIFY(window.setPortOpen(true));
        const Run refused = runCli({"--port", second, "read"});
        QCOMPARE(refused.exitCode, 3);
        QVERIFY2(refused.err.contains(QStringLiteral("is in use by process %1 (%2)")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(QCoreApplication::applicationName())),
                 qPrintable(refused.err));
        QCOMPARE(sim.module().framesHeard(), 0);
    } else {
        QProcess cli;
        startPoll(cli, first, 20, QDir::tempPath());
        QVERIFY(cli.waitForStarted());
        const auto endCli = qScopeGuard([&cli] { // by SIGTERM, so that no lock stays behind
            cli.terminate();
            cli.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(sim.module().requestsAnswered() >= 1, 20000);
        QVERIFY(!window.setPortOpen(true));
        const PortRefusal refusal = window.lastOpenRefusal();
        QCOMPARE(refusal.cause, PortRefusal::Cause::Locked);
        QCOMPARE(refusal.lock->pid, cli.processId());
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(acceptedLines(QString::fromUtf8(cli.readAllStandardOutput())), 20);
        QCOMPARE(sim.module().framesHeard(), 20);
        QVERIFY(window.setPortOpen(true)); // free again
    }
    QVERIFY(window.setPortOpen(false));
    QCOMPARE(device.lockFiles(), QStringList());
}

void CliProcessTest::lockFilesOfOtherPrograms_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("alive");      // the process the lock names
    QTest::addColumn<QString>("program"); // empty: the port is taken over
    QTest::addColumn<QString>("content"); // of a lock naming no process, as told
    for (const bool alive : {true, false}) {
        const char *state = alive ? "live" : "dead";
        const QString program = alive ? "%1" : "";
        QTest::addRow("Qt's, %s", state) << "qt" << alive << program.arg("minicom") << "";
        QTest::addRow("ten characters, %s", state) << "ten" << alive << program.arg("sleep") << "";
        QTest::addRow("bare number, %s", state) << "bare" << alive << program.arg("sleep") << "";
    }
    QTest::newRow("binary") << "binary" << true << ""
                            << "\"\\x01\\x02\\x00\\x00\"";
    QTest::newRow("garbage") << "garbage" << true << ""
                             << "\"not a pid\\n\"";
    QTest::newRow("empty") << "empty" << true << ""
                           << "empty";
}

// A lock another program left in its own form: a live process holds the port whatever the form,
// a dead one's lock is taken over, and one whose holder cannot be read is refused and left as it
// is; the command line and the window's serial control alike.
void CliProcessTest::lockFilesOfOtherPrograms() {
    QFETCH(QString, form);
    QFETCH(bool, alive);
    QFETCH(QString, program);
    QFETCH(QString, content);
    SimRunner sim;
    QVERIFY(sim.ok());
    QProcess holder;
    holder.start(alive ? QStringLiteral("sleep") : QStringLiteral("true"),
                 alive ? QStringList{"60"} : QStringList{});
    QVERIFY(holder.waitForStarted());
    const qint64 pid = holder.processId();
    if (!alive)
        QVERIFY(holder.waitForFinished(20000));
    const QByteArray number = QByteArray::number(pid);
    const QMap<QString, QByteArray> forms{
        {"qt", number + "\nminicom\n" + QSysInfo::machineHostName().toUtf8() + "\n"},
        {"ten", number.rightJustified(10) + "\n"},
        {"bare", number},
        {"binary", QByteArray("\x01\x02\x00\x00", 4)},
        {"garbage", "not a pid\n"},
        {"empty", ""}};
    ForeignLock lock(sim.path(), forms.value(form));

    const Run run = runOn(sim, {"address"});
    QtCommControl window([&](int) { return sim.path(); });
    lock.write(); // as it was, also where the command line took it over
    const bool opened = window.setPortOpen(true);
    holder.kill();
    holder.waitForFinished();
    if (program.isEmpty() && content.isEmpty()) {
        QCOMPARE(run.exitCode, 0);
        QVERIFY(opened);
        QVERIFY(window.setPortOpen(false));
        QVERIFY(!QFile::exists(lock.path));
        return;
    }
    QCOMPARE(run.exitCode, 3);
    QVERIFY(!opened);
    QCOMPARE(window.lastOpenRefusal().cause, PortRefusal::Cause::Locked);
    QCOMPARE(sim.module().framesHeard(), 0);
    QVERIFY(lock.untouched());
    if (!program.isEmpty()) {
        QCOMPARE(run.err, QStringLiteral("gx7140r-cli: %1 is in use by process %2 (%3)\n")
                              .arg(sim.path())
                              .arg(pid)
                              .arg(program));
        QCOMPARE(window.lastOpenRefusal().lock->pid, pid);
        return;
    }
    QCOMPARE(run.err, QStringLiteral("gx7140r-cli: cannot open %1: locked by %2, which names no "
                                     "process (%3): remove that file if no program uses the port\n")
                          .arg(sim.path(), lock.path, content));
    QCOMPARE(window.lastOpenRefusal().lock->content, content);
}

void CliProcessTest::closedStandardStreams_data() {
    QTest::addColumn<QList<int>>("closed");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("standard output") << QList<int>{1} << 4;
    QTest::newRow("standard error") << QList<int>{2} << 1;
    QTest::newRow("both") << QList<int>{1, 2} << 4;
}

// Started with standard output or error closed, a read of a module that does not answer: /dev/null
// in the closed one's place, so nothing but the request reaches the line and nothing the lock file;
// without standard output it stops before anything is opened.
void CliProcessTest::closedStandardStreams() {
    QFETCH(QList<int>, closed);
    QFETCH(int, exitCode);
    PtyPair pty;
    QVERIFY(pty.valid());
    QProcess cli;
    cli.setChildProcessModifier(closingDescriptors(closed));
    cli.start(kCli, {"--port", pty.path, "--format", "json", "--timeout", "1000", "--retries", "0",
                     "read"});
    QVERIFY(cli.waitForStarted());
    QByteArray heard;
    if (exitCode != 4) {
        QTRY_VERIFY_WITH_TIMEOUT((heard += pty.receive()).size() >= 8, 20000);
        QVERIFY(onDevNull(cli.processId(), closed));
    }
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), exitCode);
    heard += pty.receive();
    QCOMPARE(heard.toHex(), exitCode == 4 ? QByteArray() : QByteArray("01030000000ac5cd"));
    QVERIFY(!QFile::exists(PortLock::lockFilePath(pty.path)));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    if (!closed.contains(2))
        QCOMPARE(err, QStringLiteral("gx7140r-cli: cannot write standard output: it is closed\n"));
    if (!closed.contains(1)) {
        // a failed read prints its record as poll does
        const QJsonObject reading = QJsonDocument::fromJson(out.toUtf8()).object();
        QCOMPARE(reading[u"status"].toString(), QStringLiteral("rejected"));
        QCOMPARE(reading[u"address"].toInt(), 1);
        QVERIFY(out.endsWith(u'\n'));
    }
}

QTEST_GUILESS_MAIN(CliProcessTest)
#include "cli_process_test.moc"
