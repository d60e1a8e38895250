// "循环", "停止" and the ticks of Timer2, driven tick by tick.
#include "expected_texts.h"
#include "window_fixture.h"

#include <QtTest>

class PollingTest : public QObject {
    Q_OBJECT
private slots:
    void intervals_data();
    void intervals();
    void refusedIntervalKeepsTheRunningTimer();
    void eachTickSendsOneRequest();
    void stopOnlyStopsTheTimer();
    void tickRepairsTheRegisterCount();
    void counterWrap_data();
    void counterWrap();
    void closedPortPausesPolling();
    void oneClosedPortMessageHoweverShortTheInterval();
    void portListResumesPolling();
    void realTimerTicks();
};

void PollingTest::intervals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("interval"); // 0: refused
    const QString notNumeric = expected::kIntervalText;
    const QString outOfRange = expected::kIntervalRange;
    QTest::newRow("abc") << "abc" << notNumeric << 0;
    QTest::newRow("empty") << "" << notNumeric << 0;
    QTest::newRow("49.9") << "49.9" << outOfRange << 0;
    QTest::newRow("50") << "50" << QString() << 50;
    QTest::newRow("60000") << "60000" << QString() << 60000;
    QTest::newRow("60001") << "60001" << outOfRange << 0;
    QTest::newRow("60000.6") << "60000.6" << QString() << 60001;
    QTest::newRow("50.5") << "50.5" << QString() << 50;
    QTest::newRow("51.5") << "51.5" << QString() << 52;
    QTest::newRow("-100") << "-100" << outOfRange << 0;
    QTest::newRow("1e3") << "1e3" << QString() << 1000;
}

void PollingTest::intervals() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, interval);
    WindowFixture f;
    f.ui().lblCounter->setText(QStringLiteral("17"));
    f.ui().lblErrCounter->setText(QStringLiteral("12"));
    f.window->RecCount = 12;
    f.window->PollEnabled = false;
    f.ui().txtTimerSet->setText(text);
    f.ui().cmdOneM->click();
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("1"));
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("1"));
    QCOMPARE(f.window->RecCount, 1);
    QVERIFY(f.comm->sent.isEmpty()); // the click itself sends nothing
    if (interval == 0) {
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0], (Message{message, QStringLiteral("智能模块"), MessageIcon::None}));
        QCOMPARE(f.window->Timer2.Interval(), 0);
        QVERIFY(!f.window->Timer2.isTicking());
        QVERIFY(!f.window->PollEnabled);
    } else {
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.window->Timer2.Interval(), interval);
        QVERIFY(f.window->Timer2.Enabled());
        QVERIFY(f.window->Timer2.isTicking());
        QVERIFY(f.window->PollEnabled);
    }
}

void PollingTest::refusedIntervalKeepsTheRunningTimer() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("200"));
    f.ui().cmdOneM->click();
    f.ui().txtTimerSet->setText(QStringLiteral("20"));
    f.ui().cmdOneM->click();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.window->Timer2.Interval(), 200);
    QVERIFY(f.window->Timer2.isTicking());
}

void PollingTest::eachTickSendsOneRequest() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("50"));
    f.ui().cmdOneM->click();
    for (int tick = 0; tick < 3; ++tick)
        f.window->Timer2_Timer();
    QCOMPARE(f.comm->sent.size(), 3);
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("4")); // reset to 1, then one per request
    f.comm->deliver(f.hex("01031401C200000001000007D003E8000007D000070008697E"));
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("2"));
    QCOMPARE(f.window->txtValue[0]->text(), QStringLiteral("450"));
}

void PollingTest::stopOnlyStopsTheTimer() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("100"));
    f.ui().cmdOneM->click();
    f.window->Timer2_Timer();
    f.ui().cmdStopOnce->click();
    QVERIFY(!f.window->Timer2.Enabled());
    QVERIFY(!f.window->Timer2.isTicking());
    QVERIFY(f.window->PollEnabled);
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("2"));
    QCOMPARE(f.window->CmdType, 1);
    // a late reply is still handled
    f.comm->deliver(f.hex("01031401C200000001000007D003E8000007D000070008697E"));
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("2"));
}

void PollingTest::tickRepairsTheRegisterCount() {
    WindowFixture f;
    f.ui().txtDataLength->setText(QStringLiteral("x"));
    f.window->Timer2_Timer();
    QCOMPARE(f.ui().txtDataLength->text(), QStringLiteral("1"));
    QCOMPARE(f.lastSent(), f.hex("010300000001840A"));
    QCOMPARE(f.comm->rThreshold, 7);
}

void PollingTest::counterWrap_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("polling");
    QTest::addColumn<QString>("after");
    QTest::newRow("65534 -> 65535") << "65534" << true << "65535";
    QTest::newRow("65535 -> 65536") << "65535" << true << "65536";
    QTest::newRow("65536 -> 1") << "65536" << true << "1";
    QTest::newRow("paused: 65536 -> 0") << "65536" << false << "0";
    QTest::newRow("paused: 0 stays") << "0" << false << "0";
}

void PollingTest::counterWrap() {
    QFETCH(QString, before);
    QFETCH(bool, polling);
    QFETCH(QString, after);
    WindowFixture f;
    f.window->PollEnabled = polling;
    f.ui().lblCounter->setText(before);
    f.window->Timer2_Timer();
    QCOMPARE(f.ui().lblCounter->text(), after);
    QCOMPARE(f.comm->sent.size(), polling ? 1 : 0);
}

void PollingTest::closedPortPausesPolling() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("50"));
    f.ui().cmdOneM->click();
    f.comm->open = false;
    f.window->Timer2_Timer();
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(!f.window->PollEnabled);
    QVERIFY(f.window->Timer2.isTicking()); // paused, not stopped
    f.ui().txtDataLength->setText(QStringLiteral("bad"));
    f.window->Timer2_Timer();
    f.window->Timer2_Timer();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.ui().txtDataLength->text(), QStringLiteral("1"));
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("2"));
}

void PollingTest::oneClosedPortMessageHoweverShortTheInterval() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("50"));
    f.ui().cmdOneM->click();
    f.comm->open = false;
    int ticksWhileOpen = 0;
    f.whileMessageOpen = [&](const Message &) {
        // twenty ticks fall due while the technician reads the message
        for (; ticksWhileOpen < 20; ++ticksWhileOpen)
            f.window->Timer2_Timer();
    };
    f.window->Timer2_Timer();
    QCOMPARE(ticksWhileOpen, 20);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.comm->sent.isEmpty());
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("2"));
    QVERIFY(!f.window->PollEnabled);
}

void PollingTest::portListResumesPolling() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("50"));
    f.ui().cmdOneM->click();
    f.comm->open = false;
    f.window->Timer2_Timer();
    QVERIFY(!f.window->PollEnabled);
    f.ui().Combo1->setCurrentIndex(0);
    emit f.ui().Combo1->activated(0);
    QVERIFY(f.window->PollEnabled);
    f.window->Timer2_Timer();
    QCOMPARE(f.comm->sent.size(), 1);
}

void PollingTest::realTimerTicks() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("50"));
    f.ui().cmdOneM->click();
    QTRY_VERIFY_WITH_TIMEOUT(f.comm->sent.size() >= 2, 5000);
    f.ui().cmdStopOnce->click();
    const auto sent = f.comm->sent.size();
    QTest::qWait(200);
    QCOMPARE(f.comm->sent.size(), sent);
}

QTEST_MAIN(PollingTest)
#include "polling_test.moc"
