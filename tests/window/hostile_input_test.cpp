// One table of hostile texts tried in every box a handler reads: each gets its message or its
// documented default, and no request is built from input that failed its checks.
#include "expected_texts.h"
#include "window_fixture.h"

#include <QtTest>

using namespace expected;

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void everyBox_data();
    void everyBox();
};

void HostileInputTest::everyBox_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numericZero"); // else: not numeric at all
    auto row = [](const char *name, const QString &text, bool zero) {
        QTest::newRow(name) << text << zero;
    };
    row("empty", QString(), false);
    row("blanks", QStringLiteral("   "), false);
    row("abc", QStringLiteral("abc"), false);
    row("12a", QStringLiteral("12a"), false);
    row("1e400", QStringLiteral("1e400"), false);
    row("-1e400", QStringLiteral("-1e400"), false);
    row("nan", QStringLiteral("nan"), false);
    row("inf", QStringLiteral("inf"), false);
    row("0x10", QStringLiteral("0x10"), false);
    row("&H10", QStringLiteral("&H10"), false);
    row("1,5", QStringLiteral("1,5"), false);
    row("full-width digits", QStringLiteral("１２"), false);
    row("Arabic-Indic digits", QStringLiteral("\u0661\u0662"), false);
    row("100000 characters", QString(100000, u'7'), false);
    row("1e-400", QStringLiteral("1e-400"), true);
    row("-0", QStringLiteral("-0"), true);
}

void HostileInputTest::everyBox() {
    QFETCH(QString, text);
    QFETCH(bool, numericZero);

    // The four Modbus boxes: a text that is not a byte leaves its frame byte at 0, silently.
    const std::pair<QLineEdit * Ui::frmMain::*, int> modbusBoxes[] = {
        {&Ui::frmMain::txtStationID, 0},
        {&Ui::frmMain::txtFunID, 1},
        {&Ui::frmMain::txtStartID, 3},
        {&Ui::frmMain::txtDataLength, 5}};
    for (const auto &[box, index] : modbusBoxes) {
        WindowFixture f;
        (f.ui().*box)->setText(text);
        f.ui().comDoOnce->click();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.comm->sent.size(), 1);
        QCOMPARE(int(quint8(f.lastSent()[index])), 0);
    }

    { // the interval
        WindowFixture f;
        f.ui().txtTimerSet->setText(text);
        f.ui().cmdOneM->click();
        QCOMPARE(f.lastMessage(), numericZero ? kIntervalRange : kIntervalText);
        QVERIFY(!f.window->Timer2.isTicking());
    }
    { // the register count at a tick: repaired to "1" when not numeric
        WindowFixture f;
        f.ui().txtDataLength->setText(text);
        f.window->Timer2_Timer();
        QCOMPARE(f.ui().txtDataLength->text(), numericZero ? text : QStringLiteral("1"));
        QCOMPARE(int(quint8(f.lastSent()[5])), numericZero ? 0 : 1);
    }
    // The address change: source, then target.
    for (int which : {0, 1}) {
        WindowFixture f;
        f.window->txtSetID[which]->setText(text);
        f.ui().cmdChangeID->click();
        QCOMPARE(f.lastMessage(), numericZero ? kZero : (which == 0 ? kSource : kTarget));
        QVERIFY(f.comm->sent.isEmpty());
        QVERIFY(f.comm->log.isEmpty());
    }
    { // the station of an address read: zero is a valid byte
        WindowFixture f;
        f.ui().txtStationID->setText(text);
        f.ui().cmdReadAdd->click();
        if (numericZero) {
            QVERIFY(f.messages.isEmpty());
            QCOMPARE(f.lastSent().left(6), f.hex("000300000001"));
        } else {
            QCOMPARE(f.lastMessage(), kSource);
            QVERIFY(f.comm->sent.isEmpty());
        }
    }
    // Each set button's value box.
    for (int button = 0; button < 6; ++button) {
        WindowFixture f;
        f.window->txtValue[button + 2]->setText(text);
        f.window->cmdSet_Click(button);
        if (numericZero) {
            QVERIFY(f.messages.isEmpty());
            QCOMPARE(f.lastSent().mid(4, 2), f.hex("0000"));
        } else {
            QCOMPARE(f.lastMessage(), kValue);
            QVERIFY(f.comm->sent.isEmpty());
            QVERIFY(f.comm->log.isEmpty());
        }
    }
}

QTEST_MAIN(HostileInputTest)
#include "hostile_input_test.moc"
