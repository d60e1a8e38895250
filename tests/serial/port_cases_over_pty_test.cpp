// Start-up and the port cases with a real pseudo-terminal standing in for COM1.
#include "app/frm_main.h"
#include "expected_texts.h"
#include "pty_pair.h"
#include "serial/qt_comm_control.h"

#include <QComboBox>
#include <QtTest>

namespace {

struct PtyWindow {
    // COM1 is the pty; every other number names a path that does not exist.
    explicit PtyWindow(const QString &com1) {
        auto comm = std::make_unique<QtCommControl>(
            [com1](int n) { return n == 1 ? com1 : QStringLiteral("/nonexistent/COM%1").arg(n); });
        control = comm.get();
        window = std::make_unique<frmMain>(
            std::move(comm),
            frmMain::Seams{[this](const Message &m) { messages << m; }, [](const QUrl &) {}, {}});
        window->Form_Load();
    }
    QString lamp() const { return window->frontLamp()->objectName(); }
    void choosePort(int index) {
        window->ui.Combo1->setCurrentIndex(index);
        emit window->ui.Combo1->activated(index);
    }

    QtCommControl *control = nullptr;
    QList<Message> messages;
    std::unique_ptr<frmMain> window;
};

speed_t lineSpeed(const PtyPair &pty) {
    termios tio{};
    tcgetattr(pty.master, &tio);
    return cfgetospeed(&tio);
}

} // namespace

class PortCasesOverPtyTest : public QObject {
    Q_OBJECT
private slots:
    void startUpOpensCom1At9600();
    void startUpWithCom1Absent();
    void baudChangeReopensAtTheNewRate();
    void openButtonWhileAnotherProgramHoldsThePort();
    void closeThenChooseThePortAgain();
    void choosingAnAbsentPort();
};

void PortCasesOverPtyTest::startUpOpensCom1At9600() {
    PtyPair pty;
    PtyWindow w(pty.path);
    QVERIFY(w.control->PortOpen());
    QCOMPARE(lineSpeed(pty), speed_t(B9600));
    QCOMPARE(w.control->Settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(w.control->RThreshold(), 1);
    QVERIFY(w.messages.isEmpty());
    QCOMPARE(w.lamp(), QStringLiteral("imgConnected"));
    QTest::qWait(50);
    QCOMPARE(pty.receive(), QByteArray()); // nothing sent during start-up
}

void PortCasesOverPtyTest::startUpWithCom1Absent() {
    PtyWindow w(QStringLiteral("/nonexistent/COM1"));
    QVERIFY(!w.control->PortOpen());
    QVERIFY(w.messages.isEmpty());
    QVERIFY(w.window->PollEnabled);
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected")); // red at once, no message
    w.window->ui.comDoOnce->click();
    QCOMPARE(w.messages.size(), 1);
    QCOMPARE(w.messages[0].text, expected::kPortClosed);
}

void PortCasesOverPtyTest::baudChangeReopensAtTheNewRate() {
    PtyPair pty;
    PtyWindow w(pty.path);
    w.window->ui.Combo2->setCurrentIndex(3);
    emit w.window->ui.Combo2->activated(3);
    QVERIFY(w.control->PortOpen());
    QCOMPARE(lineSpeed(pty), speed_t(B19200));
    w.window->ui.Command1->click();
    w.window->ui.Combo2->setCurrentIndex(0);
    emit w.window->ui.Combo2->activated(0);
    QVERIFY(!w.control->PortOpen()); // closed: only the settings change
    QCOMPARE(w.control->Settings(), QStringLiteral("2400,N,8,1"));
    w.window->ui.cmdCom->click();
    QVERIFY(w.control->PortOpen());
    QCOMPARE(lineSpeed(pty), speed_t(B2400));
}

void PortCasesOverPtyTest::openButtonWhileAnotherProgramHoldsThePort() {
    PtyPair pty;
    PtyWindow w(pty.path);
    w.window->ui.Command1->click();
    QtCommControl otherProgram([&pty](int) { return pty.path; });
    QVERIFY(otherProgram.setPortOpen(true));
    w.window->ui.cmdCom->click();
    QVERIFY(!w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected"));
    QCOMPARE(w.messages.size(), 1);
    QCOMPARE(w.messages[0], (Message{QStringLiteral("串口已打开或被占用！"),
                                     QStringLiteral("出错提示"), MessageIcon::Exclamation}));
    // the open button on an open port: closed and opened again, green lamp
    QVERIFY(otherProgram.setPortOpen(false));
    w.window->ui.cmdCom->click();
    QVERIFY(w.control->PortOpen());
    w.window->ui.cmdCom->click();
    QVERIFY(w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(w.messages.size(), 1);
}

void PortCasesOverPtyTest::closeThenChooseThePortAgain() {
    PtyPair pty;
    PtyWindow w(pty.path);
    w.window->ui.Command1->click();
    w.window->ui.Command1->click();
    QVERIFY(!w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected"));
    w.choosePort(0);
    QVERIFY(w.control->PortOpen());
    QCOMPARE(w.window->CommNum, 1);
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected")); // the port list leaves the lamp alone
    QVERIFY(w.messages.isEmpty());
}

void PortCasesOverPtyTest::choosingAnAbsentPort() {
    PtyPair pty;
    PtyWindow w(pty.path);
    w.window->PollEnabled = false;
    QCOMPARE(w.lamp(), QStringLiteral("imgConnected"));
    w.choosePort(2);
    QVERIFY(!w.control->PortOpen());
    QCOMPARE(w.window->CommNum, 3);
    QVERIFY(w.window->PollEnabled);
    QVERIFY(w.messages.isEmpty());
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected"));
}

QTEST_MAIN(PortCasesOverPtyTest)
#include "port_cases_over_pty_test.moc"
