// "执行", "读地址" and the "设置" buttons.
#include "expected_texts.h"
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QtTest>

using namespace expected;

class ConfigurationTest : public QObject {
    Q_OBJECT
private slots:
    void addressChange_data();
    void addressChange();
    void addressChangeWithThePortClosed();
    void addressRead_data();
    void addressRead();
    void parameterWrite_data();
    void parameterWrite();
    void parameterWriteWithThePortClosed();
    void hiddenButtonsFollowTheSameRule();
    void replyToAConfigurationRequestMovesTheStation();
};

// source, target -> the frame, or the one message of the first failing check.
void ConfigurationTest::addressChange_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("message");
    auto sent = [](const char *name, const char *s, const char *t, const char *frame) {
        QTest::newRow(name) << s << t << QByteArray::fromHex(frame) << QString();
    };
    auto refused = [](const char *name, const char *s, const char *t, const QString &message) {
        QTest::newRow(name) << s << t << QByteArray() << message;
    };
    sent("1 to 2", "1", "2", "01060B0000020A2F");
    sent("250.7 accepted", "1", "250.7", "01060B0000FA");
    sent("source 255", "255", "3", "FF060B000003");
    sent("source 251", "251", "3", "FB060B000003");
    refused("abc abc: source message only", "abc", "abc", kSource);
    refused("target abc", "1", "abc", kTarget);
    refused("target 0", "1", "0", kZero);
    refused("source 0.9", "0.9", "2", kZero);
    refused("target 251", "1", "251", kHigh);
    refused("source empty", "", "2", kSource);
    // pass the checks but do not fit the frame's byte
    refused("source 256", "256", "3", kHigh);
    refused("source -1", "-1", "3", kZero);
    refused("target -5", "1", "-5", kZero);
    refused("source -0.5", "-0.5", "3", kZero);
    refused("source 1e300", "1e300", "3", kHigh);
}

void ConfigurationTest::addressChange() {
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QByteArray, frame);
    QFETCH(QString, message);
    WindowFixture f;
    f.ui().comDoOnce->click(); // something pending before
    f.comm->clearLog();
    const auto sentBefore = f.comm->sent.size();
    f.window->txtSetID[0]->setText(source);
    f.window->txtSetID[1]->setText(target);
    f.ui().cmdChangeID->click();
    if (!message.isEmpty()) {
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0], (Message{message, QStringLiteral("智能模块"), MessageIcon::None}));
        QCOMPARE(f.comm->sent.size(), sentBefore);
        QVERIFY(f.comm->log.isEmpty()); // the serial control stays as it was
        QCOMPARE(f.window->CmdType, 1);
        QCOMPARE(f.ui().txtCommand->text(), QStringLiteral("01 03 00 00 00 0A C5 CD "));
        return;
    }
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f.lastSent().left(frame.size()).toHex(), frame.toHex());
    QCOMPARE(f.window->CmdType, 5);
    QCOMPARE(f.window->RecThreshold, 8); // the whole echo
    QCOMPARE(f.comm->rThreshold, 8);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.comm->log.mid(0, 4),
             (QStringList{"InBufferCount=0", "InputLen=0", "InputMode=1", "RThreshold=0"}));
}

void ConfigurationTest::addressChangeWithThePortClosed() {
    WindowFixture f;
    f.comm->open = false;
    f.ui().txtState->setPlainText(QStringLiteral(" 01"));
    f.window->txtSetID[1]->setText(QStringLiteral("2"));
    f.ui().cmdChangeID->click();
    QCOMPARE(f.ui().txtCommand->text(), QStringLiteral("01 06 0B 00 00 02 0A 2F "));
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    QVERIFY(f.comm->sent.isEmpty());
    QCOMPARE(f.window->CmdType, 5);
    QCOMPARE(f.comm->rThreshold, 8);
    QCOMPARE(f.ui().txtState->toPlainText(), QString());
    QVERIFY(f.messages.isEmpty());
}

void ConfigurationTest::addressRead_data() {
    QTest::addColumn<QString>("station");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("message");
    QTest::newRow("station 2") << "2" << QByteArray::fromHex("0203000000018439") << QString();
    QTest::newRow("station 2.5") << "2.5" << QByteArray::fromHex("020300000001") << QString();
    QTest::newRow("station 3.5") << "3.5" << QByteArray::fromHex("040300000001") << QString();
    QTest::newRow("station 0") << "0" << QByteArray::fromHex("000300000001") << QString();
    QTest::newRow("station abc") << "abc" << QByteArray() << kSource;
    QTest::newRow("station 256") << "256" << QByteArray() << kHigh;
    QTest::newRow("station -1") << "-1" << QByteArray() << kZero;
}

void ConfigurationTest::addressRead() {
    QFETCH(QString, station);
    QFETCH(QByteArray, frame);
    QFETCH(QString, message);
    WindowFixture f;
    f.ui().txtStationID->setText(station);
    f.ui().cmdReadAdd->click();
    if (!message.isEmpty()) {
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].text, message);
        QVERIFY(f.comm->log.isEmpty());
        QCOMPARE(f.window->CmdType, 0);
        return;
    }
    QCOMPARE(f.lastSent().left(frame.size()).toHex(), frame.toHex());
    QCOMPARE(f.window->CmdType, 6);
    QCOMPARE(f.comm->rThreshold, 7);     // the whole one-register reply
    QCOMPARE(f.window->RecThreshold, 0); // the address read arms the control directly
    QCOMPARE(f.ui().txtCommand->text(), f.window->CmdText);
}

// button, value text (station 2) -> the frame, or the message.
void ConfigurationTest::parameterWrite_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("message");
    auto sent = [](const char *name, int button, const char *value, const char *frame) {
        QTest::newRow(name) << button << value << QByteArray::fromHex(frame) << QString();
    };
    auto refused = [](const char *name, int button, const char *value) {
        QTest::newRow(name) << button << value << QByteArray() << kValue;
    };
    sent("coefficient 1", 0, "1", "02060A020001EA21");
    sent("coefficient 1.5", 0, "1.5", "02060A020002AA20");
    sent("coefficient 2.5", 0, "2.5", "02060A020002AA20");
    sent("coefficient 0.5", 0, "0.5", "02060A020000");
    sent("range low -1", 1, "-1", "02060A03FFFF7B91");
    sent("range high 2000", 2, "2000", "02060A0407D0C84C");
    sent("range high 30000", 2, "30000", "02060A047530");
    sent("calibration 1000", 3, "1000", "02060A0503E89A9E");
    sent("-32768", 1, "-32768", "02060A038000");
    sent("1e3", 3, "1e3", "02060A0503E8");
    refused("empty", 0, "");
    refused("12a", 1, "12a");
    refused("70000", 2, "70000");
    refused("-70000", 2, "-70000");
    refused("-0.2", 3, "-0.2");
    refused("-0.5", 3, "-0.5");
    refused("65535.5", 3, "65535.5");
}

void ConfigurationTest::parameterWrite() {
    QFETCH(int, button);
    QFETCH(QString, value);
    QFETCH(QByteArray, frame);
    QFETCH(QString, message);
    WindowFixture f;
    f.ui().txtStationID->setText(QStringLiteral("2"));
    f.window->txtValue[button + 2]->setText(value);
    f.window->cmdSet[button]->click();
    if (!message.isEmpty()) {
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0], (Message{message, QStringLiteral("智能模块"), MessageIcon::None}));
        QVERIFY(f.comm->log.isEmpty());
        QCOMPARE(f.window->CmdType, 0);
        QCOMPARE(f.ui().txtCommand->text(), QString());
        return;
    }
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f.lastSent().left(frame.size()).toHex(), frame.toHex());
    QCOMPARE(f.window->CmdType, 6);
    QCOMPARE(f.window->RecThreshold, 8); // the whole echo
    QCOMPARE(f.comm->rThreshold, 8);
    QCOMPARE(f.window->txtValue[button + 2]->text(), value); // the write leaves the box alone
}

void ConfigurationTest::parameterWriteWithThePortClosed() {
    WindowFixture f;
    f.comm->open = false;
    f.ui().txtStationID->setText(QStringLiteral("2"));
    f.window->txtValue[5]->setText(QStringLiteral("1000"));
    f.window->cmdSet[3]->click();
    QCOMPARE(f.ui().txtCommand->text(), QStringLiteral("02 06 0A 05 03 E8 9A 9E "));
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    QVERIFY(f.comm->sent.isEmpty());
    QCOMPARE(f.window->CmdType, 6);
    QVERIFY(f.messages.isEmpty());
}

void ConfigurationTest::hiddenButtonsFollowTheSameRule() {
    WindowFixture f;
    f.window->txtValue[6]->setText(QStringLiteral("5"));
    f.window->txtValue[7]->setText(QStringLiteral("1500"));
    f.window->cmdSet_Click(4);
    QCOMPARE(f.lastSent().left(6), f.hex("01060A060005"));
    f.window->cmdSet_Click(5);
    QCOMPARE(f.lastSent().left(6), f.hex("01060A0705DC"));
    f.window->cmdSet_Click(6); // no such button
    QCOMPARE(f.comm->sent.size(), 2);
}

void ConfigurationTest::replyToAConfigurationRequestMovesTheStation() {
    WindowFixture f;
    f.window->txtSetID[1]->setText(QStringLiteral("9"));
    f.ui().cmdChangeID->click();
    f.comm->deliver(f.hex("01060B0000094B"));
    QCOMPARE(f.window->RecCount, 0); // 7 of 8 bytes
    f.comm->deliver(f.hex("E8"));
    QCOMPARE(f.ui().txtStationID->text(), QStringLiteral("9"));
    QCOMPARE(f.window->txtSetID[0]->text(), QStringLiteral("9"));
    f.ui().comDoOnce->click();
    QCOMPARE(f.lastSent().left(1), f.hex("09"));
}

QTEST_MAIN(ConfigurationTest)
#include "configuration_test.moc"
