// The real window and serial control against the simulated module (libmodbus) over a pty:
// libmodbus checks our frames, we decode its replies.
#include "app/command_line.h"
#include "app/frm_main.h"
#include "expected_texts.h"
#include "record/exchange_recorder.h"
#include "record/window_log.h"
#include "serial/echo_removal.h"
#include "serial/qt_comm_control.h"
#include "sim_runner.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct LiveWindow {
    // With `echo` the window is as --echo makes it: the line's echo removed before the reply.
    explicit LiveWindow(SimRunner &sim, bool echo = false) : sim(sim) {
        // Every port number leads to the simulator's current terminal.
        auto comm = std::make_unique<QtCommControl>([&sim](int) { return sim.path(); });
        comm_ = comm.get();
        frmMain::Seams seams;
        seams.showMessage = [this](const Message &m) { messages << m; };
        seams.openUrl = [](const QUrl &) {};
        std::unique_ptr<CommControl> line = std::move(comm);
        if (echo)
            line = std::make_unique<EchoRemovingControl>(std::move(line));
        window = std::make_unique<frmMain>(std::move(line), seams);
        window->Form_Load();
    }
    QString value(int k) const { return window->txtValue[k]->text(); }
    QString received() const { return window->ui.txtState->toPlainText(); }
    int events() const { return window->RecCount; }
    bool portOpen() const { return comm_->PortOpen(); }

    SimRunner &sim;
    QList<Message> messages;
    std::unique_ptr<frmMain> window;

private:
    QtCommControl *comm_ = nullptr;
};

} // namespace

class WindowOverPtyTest : public QObject {
    Q_OBJECT
private slots:
    void startUpOpensThePort();
    void commandLineOrSavedMappingReachesThePty_data();
    void commandLineOrSavedMappingReachesThePty();
    void singleMeasurementShowsTheModulesRegisters();
    void aLineThatEchoesWithAndWithoutEcho();
    void badCrcLeavesTheBoxesUntouched();
    void exceptionReplyShownInRedNotDecoded();
    void splitReplyDecodedOnceWhole();
    void trailingJunkIgnored();
    void silenceKeepsTheValues();
    void addressChangeObeyedAndReadBack();
    void configurationRepliesWholeAlsoInChunks_data();
    void configurationRepliesWholeAlsoInChunks();
    void eachConfigurationRegisterWritten_data();
    void eachConfigurationRegisterWritten();
    void pollingAt50ms();
    void noiseDuringPollingNeverShowsAFalseValue();
    void vanishingPortMidPoll();
    void logHoldsEveryReplyOfAPoll();
};

void WindowOverPtyTest::startUpOpensThePort() {
    SimRunner sim;
    QVERIFY(sim.ok());
    LiveWindow w(sim);
    QVERIFY(w.portOpen());
    QVERIFY(w.messages.isEmpty());
    QTest::qWait(100);
    QCOMPARE(sim.module().requestsSeen(), 0); // nothing sent during start-up
}

// No /dev/COM1 is needed: --port COM1=<pty>, or the same saved with --save-port, leads COM1 (and
// start-up) to the simulator's terminal, as the program composes its mapping.
void WindowOverPtyTest::commandLineOrSavedMappingReachesThePty_data() {
    QTest::addColumn<bool>("saved");
    QTest::newRow("--port") << false;
    QTest::newRow("--save-port, then a plain start") << true;
}

void WindowOverPtyTest::commandLineOrSavedMappingReachesThePty() {
    QFETCH(bool, saved);
    SimRunner sim;
    sim.module().setRegister(0, 733);
    QTemporaryDir config;
    SavedPortMapping savedMapping(config.filePath(QStringLiteral("ports.conf")));
    const QStringList option{QStringLiteral("--port"), QStringLiteral("COM1=") + sim.path()};
    if (saved) {
        const ToolCommandLine save =
            parseToolCommandLine({QStringLiteral("--save-port"), option[1]});
        QVERIFY(savedMapping.save(save.portsToSave.value(0)));
    }
    const ToolCommandLine commandLine = parseToolCommandLine(saved ? QStringList() : option);
    QCOMPARE(commandLine.action, ToolCommandLine::Action::RunWindow);
    const PortMapping mapping(commandLine.options.ports, savedMapping.load(),
                              [](const QString &) { return false; });
    frmMain window(std::make_unique<QtCommControl>(QtCommControl::mapperFor(mapping)),
                   {[](const Message &) { QFAIL("no message expected"); }, [](const QUrl &) {},
                    [mapping](int port) { return mapping.describe(port); }});
    window.Form_Load();
    window.ui.comDoOnce->click();
    QTRY_COMPARE(window.txtValue[0]->text(), QStringLiteral("733"));
    QTRY_COMPARE(window.ui.Combo1->toolTip(), QStringLiteral("COM1: ") + sim.path());
}

void WindowOverPtyTest::singleMeasurementShowsTheModulesRegisters() {
    SimRunner sim;
    sim.module().setRegister(0, 612);
    LiveWindow w(sim);
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 1);
    const auto registers = sim.module().registers();
    for (int k = 0; k < 8; ++k)
        QCOMPARE(w.value(k), QString::number(registers[k]));
    QCOMPARE(w.value(0), QStringLiteral("612"));
    QCOMPARE(w.received().size(), 25 * 3);
    QCOMPARE(w.window->frontLamp(), w.window->ui.imgConnected);
}

// The simulated line gives back every request: with --echo the window reads the module exactly,
// the address change's two copies included; without it, nothing is decoded and the cause named.
void WindowOverPtyTest::aLineThatEchoesWithAndWithoutEcho() {
    sim::Options options = SimRunner::steadyOptions();
    options.echo = true;
    SimRunner sim(options);
    sim.module().setRegister(0, 612);
    {
        LiveWindow w(sim, true);
        w.window->ui.comDoOnce->click();
        QTRY_COMPARE(w.events(), 1);
        QCOMPARE(w.value(0), QStringLiteral("612"));
        QCOMPARE(w.received().size(), 25 * 3);
        w.window->txtSetID[1]->setText(QStringLiteral("17"));
        w.window->ui.cmdChangeID->click();
        QTRY_COMPARE(w.events(), 2);
        QCOMPARE(w.window->txtSetID[0]->text(), QStringLiteral("17"));
        QTRY_COMPARE(sim.module().slave(), 17);
        w.window->ui.cmdReadAdd->click();
        QTRY_COMPARE(w.events(), 3);
        QCOMPARE(w.window->ui.txtStationID->text(), QStringLiteral("17"));
    }
    LiveWindow w(sim);
    w.window->ui.txtStationID->setText(QStringLiteral("17"));
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 1);
    QCOMPARE(w.value(0), QStringLiteral("0")); // nothing decoded
    QCOMPARE(w.window->ui.txtState->toolTip(),
             QString::fromUtf8("线路回传了发送的数据：请用 --echo 启动本程序"));
}

void WindowOverPtyTest::badCrcLeavesTheBoxesUntouched() {
    SimRunner sim;
    sim.module().setFault(sim::Fault::BadCrc);
    LiveWindow w(sim);
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 1);
    for (int k = 0; k < 8; ++k)
        QCOMPARE(w.value(k), QStringLiteral("0"));
    QCOMPARE(w.window->ui.txtState->palette().color(QPalette::Text), QColor(255, 0, 0));
}

void WindowOverPtyTest::exceptionReplyShownInRedNotDecoded() {
    SimRunner sim;
    sim.module().setFault(sim::Fault::Exception);
    LiveWindow w(sim);
    // the default request waits for 25 bytes; the serial layer hands the whole refusal over at 5
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 1);
    QCOMPARE(w.received(), QStringLiteral(" 01 83 04 40 F3"));
    QCOMPARE(w.window->ui.txtState->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(w.window->ui.txtState->toolTip(), QString::fromUtf8("模块拒绝：04 从站设备故障"));
    QCOMPARE(w.value(0), QStringLiteral("0"));
}

void WindowOverPtyTest::splitReplyDecodedOnceWhole() {
    SimRunner sim;
    sim.module().setFault(sim::Fault::Split);
    sim.module().setRegister(0, 777);
    LiveWindow w(sim);
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 1);
    QCOMPARE(w.value(0), QStringLiteral("777"));
    QTest::qWait(100);
    QCOMPARE(w.events(), 1);
}

void WindowOverPtyTest::trailingJunkIgnored() {
    SimRunner sim;
    sim.module().setFault(sim::Fault::Junk);
    sim.module().setRegister(0, 505);
    LiveWindow w(sim);
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.value(0), QStringLiteral("505"));
    QVERIFY(w.window->ui.txtState->palette().color(QPalette::Text) != QColor(255, 0, 0));
}

void WindowOverPtyTest::silenceKeepsTheValues() {
    SimRunner sim;
    sim.module().setRegister(0, 480);
    LiveWindow w(sim);
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.value(0), QStringLiteral("480"));
    sim.module().setFault(sim::Fault::Silence);
    sim.module().setRegister(0, 999);
    for (int i = 0; i < 3; ++i) {
        w.window->ui.comDoOnce->click();
        QTest::qWait(60);
    }
    QCOMPARE(w.window->ui.lblCounter->text(), QStringLiteral("4"));
    QCOMPARE(w.window->ui.lblErrCounter->text(), QStringLiteral("1")); // the counters drift apart
    QCOMPARE(w.value(0), QStringLiteral("480"));
}

void WindowOverPtyTest::addressChangeObeyedAndReadBack() {
    SimRunner sim;
    LiveWindow w(sim);
    w.window->txtSetID[1]->setText(QStringLiteral("17"));
    w.window->ui.cmdChangeID->click();
    QTRY_COMPARE(w.window->ui.txtStationID->text(), QStringLiteral("17"));
    QTRY_COMPARE(sim.module().slave(), 17);
    QCOMPARE(w.window->txtSetID[0]->text(), QStringLiteral("17"));
    // the next read goes to the new address, and the module answers there
    w.window->ui.txtStationID->setText(QStringLiteral("17"));
    w.window->ui.cmdReadAdd->click();
    QTRY_COMPARE(w.events(), 2);
    QVERIFY(w.received().startsWith(QStringLiteral(" 11 03 02")));
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 3);
    QVERIFY(w.received().startsWith(QStringLiteral(" 11 03 14")));
    QCOMPARE(w.value(4), QStringLiteral("2000"));
}

// The thresholds of 8 and 7 bytes wait for the whole reply, also when it comes in pieces.
void WindowOverPtyTest::configurationRepliesWholeAlsoInChunks_data() {
    QTest::addColumn<bool>("split");
    QTest::newRow("at once") << false;
    QTest::newRow("in three chunks") << true;
}

void WindowOverPtyTest::configurationRepliesWholeAlsoInChunks() {
    QFETCH(bool, split);
    SimRunner sim;
    if (split)
        sim.module().setFault(sim::Fault::Split);
    LiveWindow w(sim);
    w.window->txtSetID[1]->setText(QStringLiteral("23"));
    w.window->ui.cmdChangeID->click();
    QTRY_COMPARE(w.events(), 1);
    QCOMPARE(w.received(), QStringLiteral(" 01 06 0B 00 00 17 CB E0"));
    QCOMPARE(w.window->ui.txtStationID->text(), QStringLiteral("23"));
    w.window->ui.cmdReadAdd->click();
    QTRY_COMPARE(w.events(), 2);
    QCOMPARE(w.received().size(), 7 * 3);
    QVERIFY(w.received().startsWith(QStringLiteral(" 17 03 02 ")));
    QCOMPARE(w.window->txtSetID[0]->text(), QStringLiteral("23"));
    QVERIFY(w.window->ui.txtState->palette().color(QPalette::Text) != QColor(255, 0, 0));
    QTest::qWait(100);
    QCOMPARE(w.events(), 2); // one event per reply, not one per chunk
}

void WindowOverPtyTest::eachConfigurationRegisterWritten_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored");
    QTest::newRow("coefficient") << 0 << "2" << 2;
    QTest::newRow("range low") << 1 << "300" << 300;
    QTest::newRow("range high") << 2 << "30000" << 30000;
    QTest::newRow("calibration") << 3 << "1.5e3" << 1500;
    QTest::newRow("alarm low (hidden)") << 4 << "100" << 100;
    QTest::newRow("alarm high (hidden)") << 5 << "-1" << 65535;
}

void WindowOverPtyTest::eachConfigurationRegisterWritten() {
    QFETCH(int, button);
    QFETCH(QString, text);
    QFETCH(int, stored);
    SimRunner sim;
    LiveWindow w(sim);
    w.window->txtValue[button + 2]->setText(text);
    w.window->cmdSet_Click(button);
    QTRY_COMPARE(w.events(), 1);
    QCOMPARE(int(sim.module().registers()[button + 2]), stored);
    QCOMPARE(w.window->ui.txtStationID->text(), QStringLiteral("1"));
    w.window->ui.comDoOnce->click();
    QTRY_COMPARE(w.events(), 2);
    QCOMPARE(w.value(button + 2), QString::number(stored == 65535 ? 0 : stored));
}

void WindowOverPtyTest::pollingAt50ms() {
    sim::Options options;
    options.drift = true;
    SimRunner sim(options);
    LiveWindow w(sim);
    w.window->ui.txtTimerSet->setText(QStringLiteral("50"));
    w.window->ui.cmdOneM->click();
    QTest::qWait(1000);
    w.window->ui.cmdStopOnce->click();
    QTest::qWait(100);
    QVERIFY2(w.events() >= 10, qPrintable(QString::number(w.events())));
    QVERIFY(w.window->ui.lblCounter->text().toInt() >= 10);
    QVERIFY(w.messages.isEmpty());
    const int ppm = w.value(0).toInt();
    QVERIFY2(ppm >= 350 && ppm <= 550, qPrintable(w.value(0)));
    QCOMPARE(w.value(4), QStringLiteral("2000"));
}

void WindowOverPtyTest::noiseDuringPollingNeverShowsAFalseValue() {
    sim::Options options = SimRunner::steadyOptions();
    options.fault = sim::Fault::Noise;
    options.faultEvery = 2;
    SimRunner sim(options);
    sim.module().setRegister(0, 612);
    LiveWindow w(sim);
    QStringList shown;
    connect(w.window->txtValue[0], &QLineEdit::textChanged, [&](const QString &t) { shown << t; });
    w.window->ui.txtTimerSet->setText(QStringLiteral("50"));
    w.window->ui.cmdOneM->click();
    QTest::qWait(1200);
    w.window->ui.cmdStopOnce->click();
    QVERIFY2(w.events() >= 10, qPrintable(QString::number(w.events())));
    QVERIFY(!shown.isEmpty());
    for (const QString &value : shown)
        QCOMPARE(value, QStringLiteral("612"));
    QVERIFY(w.messages.isEmpty());
}

void WindowOverPtyTest::vanishingPortMidPoll() {
    SimRunner sim;
    LiveWindow w(sim);
    w.window->ui.txtTimerSet->setText(QStringLiteral("50"));
    w.window->ui.cmdOneM->click();
    QTRY_VERIFY(w.events() >= 3);
    sim.module().setFault(sim::Fault::Vanish);
    QTRY_VERIFY_WITH_TIMEOUT(!w.portOpen(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.messages.size(), 1, 5000);
    QCOMPARE(w.messages[0].text, expected::kPortClosed);
    QVERIFY(!w.window->PollEnabled);
    QTest::qWait(300);
    QCOMPARE(w.messages.size(), 1); // paused: no stacked messages

    sim.module().setFault(sim::Fault::None);
    QVERIFY(sim.comeBack());
    const int before = w.events();
    w.window->ui.Combo1->setCurrentIndex(0);
    emit w.window->ui.Combo1->activated(0);
    QVERIFY(w.portOpen());
    QVERIFY(w.window->PollEnabled);
    QTRY_VERIFY(w.events() >= before + 3);
    w.window->ui.cmdStopOnce->click();
    QCOMPARE(w.messages.size(), 1);
}

// --log over a real line: polling 2 s at 50 ms gives one reply line for every event the window
// counted, each with the simulator's registers.
void WindowOverPtyTest::logHoldsEveryReplyOfAPoll() {
    SimRunner sim;
    sim.module().setRegister(0, 733);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.csv"));
    QString error;
    auto csv = CsvLog::open(path, error);
    QVERIFY2(csv, qPrintable(error));
    LiveWindow w(sim);
    ExchangeRecorder recorder(*w.window);
    WindowLog log(*w.window, recorder, std::move(csv));
    w.window->ui.txtTimerSet->setText(QStringLiteral("50"));
    w.window->ui.cmdOneM->click();
    QTest::qWait(2000);
    w.window->ui.cmdStopOnce->click();
    QTest::qWait(200); // the last reply

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    const QStringList header = lines.first().split(u',');
    const qsizetype firstRegister = header.indexOf(QStringLiteral("concentration_ppm"));
    QVERIFY(firstRegister > 0);
    const auto registers = sim.module().registers();
    int requests = 0, replies = 0;
    for (const QString &line : lines.mid(1, lines.size() - 2)) {
        const QStringList fields = line.split(u',');
        requests += fields[1] == QStringLiteral("request");
        if (fields[1] != QStringLiteral("reply"))
            continue;
        ++replies;
        QCOMPARE(fields[5], QStringLiteral("accepted"));
        for (int k = 0; k < 8; ++k)
            QCOMPARE(fields[firstRegister + k], QString::number(registers[k]));
    }
    QVERIFY(lines.last().isEmpty()); // every line whole
    QVERIFY2(replies >= 30, qPrintable(QString::number(replies)));
    // both counters restart at 1 with "循环"
    QCOMPARE(replies, w.window->ui.lblErrCounter->text().toInt() - 1);
    QCOMPARE(requests, w.window->ui.lblCounter->text().toInt() - 1);
}

QTEST_MAIN(WindowOverPtyTest)
#include "window_over_pty_test.moc"
