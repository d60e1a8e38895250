// Start-up and the port cases with a real pseudo-terminal standing in for COM1.
#include "app/frm_main.h"
#include "expected_texts.h"
#include "foreign_lock.h"
#include "pty_pair.h"
#include "serial/qt_comm_control.h"

#include <QComboBox>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

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

// As an ordinary user while it lives, when the test runs as root (who may open any device): the
// real and effective user become nobody, root stays the saved one to come back to.
struct AsOrdinaryUser {
    static constexpr uid_t kNobody = 65534;
    bool dropped = geteuid() == 0 && setresuid(kNobody, kNobody, 0) == 0;
    ~AsOrdinaryUser() {
        if (dropped && setresuid(0, 0, 0) != 0)
            qFatal("could not become root again");
    }
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
    void openButtonNamesWhyThePortDidNotOpen_data();
    void openButtonNamesWhyThePortDidNotOpen();
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
    QCOMPARE(w.messages[0],
             (Message{QStringLiteral("串口已打开或被占用！\n%1 被进程 %2（serial_port_cases）占用")
                          .arg(pty.path)
                          .arg(QCoreApplication::applicationPid()),
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

void PortCasesOverPtyTest::openButtonNamesWhyThePortDidNotOpen_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("no such device") << "missing";
    QTest::newRow("no permission (mode 0000)") << "mode";
    QTest::newRow("a lock naming no process") << "garbage";
}

// Under "in use", the second line tells what the system shows (a live holder: above): the message
// box and the lamp are otherwise those of any port that does not open.
void PortCasesOverPtyTest::openButtonNamesWhyThePortDidNotOpen() {
    QFETCH(QString, cause);
    PtyPair pty;
    PtyWindow w(pty.path);
    w.window->ui.Command1->click();
    QString why;
    std::optional<ForeignLock> lock;
    std::optional<AsOrdinaryUser> ordinaryUser;
    if (cause == u"missing") {
        w.window->MSComm1.setCommPort(3);
        why = QStringLiteral("设备 /nonexistent/COM3 不存在");
    } else if (cause == u"mode") {
        QCOMPARE(chmod(QFile::encodeName(pty.path).constData(), 0), 0);
        const QFileInfo device(pty.path);
        ordinaryUser.emplace();
        why = QStringLiteral("无权打开 %1（属主 %2，组 %3，权限 c---------）：只有属主可以打开；用 "
                             "udev 规则 GROUP=\"dialout\", MODE=\"0660\" 把它交给 dialout 组（见 "
                             "99-gx7140r.rules.example）")
                  .arg(pty.path, device.owner(), device.group());
    } else {
        lock.emplace(pty.path, "not a pid\n");
        why = QStringLiteral(
                  "%1 被锁文件 %2 锁住，但其中没有进程号（\"not a pid\\n\"）：确认没有程序在用"
                  "该串口后删除该文件")
                  .arg(pty.path, lock->path);
    }
    w.window->ui.cmdCom->click();
    ordinaryUser.reset();
    QVERIFY(!w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected"));
    QCOMPARE(w.messages.size(), 1);
    QCOMPARE(w.messages[0], (Message{QStringLiteral("串口已打开或被占用！\n") + why,
                                     QStringLiteral("出错提示"), MessageIcon::Exclamation}));
    if (lock)
        QVERIFY(lock->untouched()); // another program's lock is left alone
}

// A port chosen in the list that opens is no longer shown red, whatever came before; one that
// does not open is.
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
    QCOMPARE(w.lamp(), QStringLiteral("imgConnected"));
    w.choosePort(2);
    QVERIFY(!w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgNotConnected"));
    w.choosePort(0);
    QVERIFY(w.control->PortOpen());
    QCOMPARE(w.lamp(), QStringLiteral("imgConnected"));
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
