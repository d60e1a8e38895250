// The port list, the baud list, the open and close buttons, with the lamp and the messages.
#include "expected_texts.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QtTest>

class PortHandlingTest : public QObject {
    Q_OBJECT
private slots:
    void choosingAPortOpensIt();
    void choosingAPortHeldByAnotherProgram_data();
    void choosingAPortHeldByAnotherProgram();
    void portListWithNothingSelected();
    void baudChange_data();
    void baudChange();
    void baudChangeFailuresLeaveThePortClosed();
    void openButton_data();
    void openButton();
    void closeButtonTwice();
    void closeKeepsPollingState();
};

void PortHandlingTest::choosingAPortOpensIt() {
    WindowFixture f;
    f.window->PollEnabled = false;
    f.comm->rThreshold = 25;
    f.ui().Combo1->setCurrentIndex(2);
    emit f.ui().Combo1->activated(2); // as a user's pick
    QCOMPARE(f.comm->log, (QStringList{"PortOpen=false", "CommPort=3", "Settings=9600,N,8,1",
                                       "PortOpen=true", "RThreshold=1", "InputMode=1"}));
    QCOMPARE(f.window->CommNum, 3);
    QVERIFY(f.comm->open);
    QCOMPARE(f.comm->rThreshold, 1);
    QVERIFY(f.window->PollEnabled);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QVERIFY(f.messages.isEmpty());
}

void PortHandlingTest::choosingAPortHeldByAnotherProgram_data() {
    QTest::addColumn<QString>("lampBefore");
    QTest::newRow("green before") << QStringLiteral("imgConnected");
    QTest::newRow("red before") << QStringLiteral("imgNotConnected");
}

// The port stays closed and the lamp says so at once, without a message: before, a green lamp
// stayed over a port that never opened.
void PortHandlingTest::choosingAPortHeldByAnotherProgram() {
    QFETCH(QString, lampBefore);
    WindowFixture f;
    if (lampBefore == QStringLiteral("imgNotConnected"))
        f.window->Command1_Click();
    QCOMPARE(f.lamp(), lampBefore);
    f.window->PollEnabled = false;
    f.comm->refuseOpen = true;
    f.ui().Combo1->setCurrentIndex(4);
    f.window->Combo1_Click();
    QVERIFY(f.messages.isEmpty());
    QVERIFY(!f.comm->open);
    QCOMPARE(f.window->CommNum, 5);
    QCOMPARE(f.comm->settings, QStringLiteral("9600,N,8,1"));
    QVERIFY(f.window->PollEnabled);
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    // the port frees up: choosing it again opens it, and the lamp no longer shows red
    f.comm->refuseOpen = false;
    emit f.ui().Combo1->activated(4);
    QVERIFY(f.comm->open);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QVERIFY(f.messages.isEmpty());
}

void PortHandlingTest::portListWithNothingSelected() {
    WindowFixture f;
    f.ui().Combo1->setCurrentIndex(-1);
    f.window->Combo1_Click();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.messages[0], (Message{QStringLiteral("请选择端口"), QStringLiteral("智能模块"),
                                     MessageIcon::None}));
    QVERIFY(!f.comm->open);
    QCOMPARE(f.comm->log, QStringList{"PortOpen=false"});
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected")); // the port was left closed
}

void PortHandlingTest::baudChange_data() {
    QTest::addColumn<bool>("wasOpen");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("operations");
    QTest::newRow("open, 19200") << true << 3
                                 << QStringList{"PortOpen=false", "Settings=19200,N,8,1",
                                                "PortOpen=true"};
    QTest::newRow("closed, 19200") << false << 3 << QStringList{"Settings=19200,N,8,1"};
    QTest::newRow("closed, 2400") << false << 0 << QStringList{"Settings=2400,N,8,1"};
}

void PortHandlingTest::baudChange() {
    QFETCH(bool, wasOpen);
    QFETCH(int, entry);
    QFETCH(QStringList, operations);
    WindowFixture f;
    if (!wasOpen)
        f.comm->open = false;
    const QString lamp = f.lamp();
    f.window->PollEnabled = false;
    f.ui().Combo2->setCurrentIndex(entry);
    emit f.ui().Combo2->activated(entry);
    QCOMPARE(f.comm->log, operations);
    QCOMPARE(f.window->CommRate, f.ui().Combo2->itemText(entry).toInt());
    QCOMPARE(f.comm->open, wasOpen);
    QCOMPARE(f.lamp(), lamp);
    QVERIFY(!f.window->PollEnabled); // untouched
}

void PortHandlingTest::baudChangeFailuresLeaveThePortClosed() {
    WindowFixture f;
    f.comm->refuseSettings = true;
    f.ui().Combo2->setCurrentIndex(3);
    f.window->Combo2_Click();
    QVERIFY(!f.comm->open);
    QCOMPARE(f.comm->log, (QStringList{"PortOpen=false", "Settings=19200,N,8,1"}));

    WindowFixture g;
    g.comm->refuseOpen = true;
    g.ui().Combo2->setCurrentIndex(0);
    g.window->Combo2_Click();
    QVERIFY(!g.comm->open);
    QVERIFY(g.messages.isEmpty());
    g.ui().comDoOnce->click();
    QCOMPARE(g.lastMessage(), expected::kPortClosed);
}

void PortHandlingTest::openButton_data() {
    QTest::addColumn<bool>("wasOpen");
    QTest::addColumn<bool>("inUse");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<QStringList>("lampsShown");
    QTest::addColumn<bool>("message");
    QTest::newRow("closed, free") << false << false
                                  << QStringList{"Settings=9600,N,8,1", "PortOpen=true"}
                                  << QStringList{"imgConnected"} << false;
    QTest::newRow("open: closed and opened again")
        << true << false << QStringList{"PortOpen=false", "PortOpen=true"}
        << QStringList{"imgConnected"} << false;
    QTest::newRow("in use: green during the attempt, then red")
        << false << true << QStringList{"Settings=9600,N,8,1", "PortOpen=true"}
        << QStringList{"imgConnected", "imgNotConnected"} << true;
}

void PortHandlingTest::openButton() {
    QFETCH(bool, wasOpen);
    QFETCH(bool, inUse);
    QFETCH(QStringList, operations);
    QFETCH(QStringList, lampsShown);
    QFETCH(bool, message);
    WindowFixture f;
    f.comm->open = wasOpen;
    f.comm->refuseOpen = inUse;
    f.comm->rThreshold = 7;
    f.window->PollEnabled = false;
    f.window->Command1_Click();
    f.comm->clearLog();
    f.comm->open = wasOpen;
    QStringList lamps;
    f.comm->onOpenAttempt = [&] { lamps << f.lamp(); };
    f.ui().cmdCom->click();
    if (lamps.last() != f.lamp())
        lamps << f.lamp();
    QCOMPARE(f.comm->log, operations);
    QCOMPARE(lamps, lampsShown);
    QCOMPARE(f.comm->open, !inUse);
    QCOMPARE(f.comm->rThreshold, 7); // the open button does not touch the threshold
    QVERIFY(!f.window->PollEnabled);
    if (message) {
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0], (Message{QStringLiteral("串口已打开或被占用！"),
                                         QStringLiteral("出错提示"), MessageIcon::Exclamation}));
    } else {
        QVERIFY(f.messages.isEmpty());
    }
}

void PortHandlingTest::closeButtonTwice() {
    WindowFixture f;
    f.ui().Command1->click();
    QCOMPARE(f.comm->log, QStringList{"PortOpen=false"});
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    f.comm->clearLog();
    f.window->cmdCom_Click();
    f.ui().Command1->click();
    f.comm->clearLog();
    f.ui().Command1->click();
    QVERIFY(f.comm->log.isEmpty()); // nothing but the lamp
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    QVERIFY(f.messages.isEmpty());
}

void PortHandlingTest::closeKeepsPollingState() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("100"));
    f.ui().cmdOneM->click();
    f.ui().Command1->click();
    QVERIFY(f.window->PollEnabled);
    QVERIFY(f.window->Timer2.Enabled());
    QCOMPARE(f.window->Timer2.Interval(), 100);
    // the next tick finds the port closed and says so
    f.window->Timer2_Timer();
    QCOMPARE(f.lastMessage(), expected::kPortClosed);
    QVERIFY(!f.window->PollEnabled);
}

QTEST_MAIN(PortHandlingTest)
#include "port_handling_test.moc"
