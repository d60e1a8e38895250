// A single measurement: the request built from the four boxes, and the reply shown and decoded.
#include "expected_texts.h"
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QtTest>

#include <limits>

class MeasurementTest : public QObject {
    Q_OBJECT
private slots:
    void defaultRequest();
    void requestFromTheBoxes_data();
    void requestFromTheBoxes();
    void closedPort();
    void replyDecodedIntoTheBoxes();
    void fullReplyFillsEightBoxes();
    void rejectedReplies_data();
    void rejectedReplies();
    void redGoesBackOnTheNextGoodReply();
    void repliesBelowTheThresholdStayUnseen();
    void configurationReplies_data();
    void configurationReplies();
    void nothingPendingOnlyShows();
    void otherEventsOnlyCount();
    void eventCounterStopsAtItsLimit();
    void emptyReadStillTurnsTheLampGreen();
};

void MeasurementTest::defaultRequest() {
    WindowFixture f;
    f.ui().txtState->setPlainText(QStringLiteral("old"));
    f.ui().comDoOnce->click();
    QCOMPARE(f.comm->sent, QList<QByteArray>{f.hex("01030000000AC5CD")});
    QCOMPARE(f.comm->log,
             (QStringList{"InBufferCount=0", "InputLen=0", "InputMode=1", "RThreshold=0",
                          "RThreshold=25", "Output=01 03 00 00 00 0A C5 CD"}));
    QCOMPARE(f.window->RecThreshold, 25);
    QCOMPARE(f.comm->rThreshold, 25);
    QCOMPARE(f.window->CmdType, 1);
    QCOMPARE(f.ui().txtCommand->text(), QStringLiteral("01 03 00 00 00 0A C5 CD "));
    QCOMPARE(f.window->CmdText, f.ui().txtCommand->text());
    QCOMPARE(f.window->HiByte, 0xC5);
    QCOMPARE(f.window->LoByte, 0xCD);
    QCOMPARE(f.ui().txtState->toPlainText(), QString());
    QCOMPARE(f.lamp(), QStringLiteral("ImgYellow"));
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("1"));
    QVERIFY(f.messages.isEmpty());
}

// Box texts -> the frame and the receive threshold. Unparsable or out-of-range boxes give 0.
void MeasurementTest::requestFromTheBoxes_data() {
    QTest::addColumn<QStringList>("boxes"); // station, function, start, count
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("threshold");
    auto row = [](const char *name, QStringList boxes, const char *frame, int threshold) {
        QTest::newRow(name) << boxes << QByteArray::fromHex(frame) << threshold;
    };
    row("count 4, address 2", {"2", "3", "0", "4"}, "020300000004443A", 13);
    row("address abc", {"abc", "3", "0", "10"}, "00030000000A", 25);
    row("count 300", {"1", "3", "0", "300"}, "010300000000", 5);
    row("count -1", {"1", "3", "0", "-1"}, "010300000000", 5);
    row("start 3.7", {"1", "3", "3.7", "1"}, "010300030001", 7);
    row("function 3.5", {"1", "3.5", "0", "1"}, "010400000001", 7);
    row("function 2.5", {"1", "2.5", "0", "1"}, "010200000001", 7);
    row("count 255", {"1", "3", "0", "255"}, "0103000000FF", 515);
    row("address 255.9", {"255.9", "3", "0", "1"}, "FF0300000001", 7);
    row("blanks around", {" 7 ", "\t3", "0 ", " 2"}, "070300000002", 9);
    row("empty boxes", {"", "", "", ""}, "000000000000", 5);
}

void MeasurementTest::requestFromTheBoxes() {
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, frame);
    QFETCH(int, threshold);
    WindowFixture f;
    f.ui().txtStationID->setText(boxes[0]);
    f.ui().txtFunID->setText(boxes[1]);
    f.ui().txtStartID->setText(boxes[2]);
    f.ui().txtDataLength->setText(boxes[3]);
    f.ui().comDoOnce->click();
    QCOMPARE(f.comm->sent.size(), 1);
    QCOMPARE(f.lastSent().left(6).toHex(), frame.left(6).toHex());
    if (frame.size() == 8)
        QCOMPARE(f.lastSent().toHex(), frame.toHex());
    QCOMPARE(f.comm->rThreshold, threshold);
    QCOMPARE(int(f.window->RecThreshold), threshold);
    QVERIFY(f.messages.isEmpty());
}

void MeasurementTest::closedPort() {
    WindowFixture f;
    f.ui().comDoOnce->click(); // a request shown before the port closes
    f.comm->open = false;
    f.comm->clearLog();
    f.ui().txtState->setPlainText(QStringLiteral(" 01"));
    f.ui().comDoOnce->click();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.messages[0],
             (Message{expected::kPortClosed, QStringLiteral("智能模块"), MessageIcon::None}));
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected"));
    QVERIFY(!f.window->PollEnabled);
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("2"));
    QCOMPARE(f.ui().txtCommand->text(), QStringLiteral("01 03 00 00 00 0A C5 CD "));
    QCOMPARE(f.ui().txtState->toPlainText(), QString());
    QCOMPARE(f.comm->sent.size(), 1);
    QVERIFY(f.comm->log.isEmpty()); // the serial control is not touched
}

void MeasurementTest::replyDecodedIntoTheBoxes() {
    WindowFixture f;
    f.ui().txtDataLength->setText(QStringLiteral("2"));
    f.window->txtValue[2]->setText(QStringLiteral("typed"));
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01030401F4FFFF"));
    QCOMPARE(f.window->RecCount, 0); // below the threshold of 9: nothing yet
    f.comm->deliver(f.hex("BB8D"));
    QCOMPARE(f.ui().txtState->toPlainText(), QStringLiteral(" 01 03 04 01 F4 FF FF BB 8D"));
    QCOMPARE(f.window->txtValue[0]->text(), QStringLiteral("500"));
    QCOMPARE(f.window->txtValue[1]->text(), QStringLiteral("0"));
    QCOMPARE(f.window->txtValue[2]->text(), QStringLiteral("typed"));
    QCOMPARE(f.window->txtValue[0]->palette().color(QPalette::Text), QColor(0, 0, 0));
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.window->RecCount, 1);
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("1"));
    QVERIFY(f.comm->waiting.isEmpty());
    QCOMPARE(f.comm->log.mid(f.comm->log.indexOf("Input")),
             (QStringList{"Input", "InBufferCount=0"}));
}

void MeasurementTest::fullReplyFillsEightBoxes() {
    WindowFixture f;
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01031401C200000001000007D003E8000007D000070008697E"));
    const QStringList expected = {"450", "0", "1", "0", "2000", "1000", "0", "2000"};
    for (int k = 0; k < 8; ++k)
        QCOMPARE(f.window->txtValue[k]->text(), expected[k]);
}

// A corrupted block, an exception reply or a cut-short frame is shown in red and decodes nothing.
void MeasurementTest::rejectedReplies_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("bad CRC") << 2 << QByteArray::fromHex("01030401F4FFFFBB8E");
    QTest::newRow("corrupted value") << 2 << QByteArray::fromHex("01030401F5FFFFBB8D");
    QTest::newRow("exception at threshold 5") << 0 << QByteArray::fromHex("01830440F3");
    QTest::newRow("truncated, then junk")
        << 2 << QByteArray::fromHex("01030801F4FFFF00000000"); // byte count 8: frame needs 13
    QTest::newRow("noise") << 2 << QByteArray::fromHex("55AA01030401F4FFFF");
    // a whole frame with a good CRC that answers another question (the rest: reply_check_test)
    QTest::newRow("another module") << 2 << QByteArray::fromHex("02030401F4FFFF888D");
}

void MeasurementTest::rejectedReplies() {
    QFETCH(int, count);
    QFETCH(QByteArray, block);
    WindowFixture f;
    for (QLineEdit *box : f.window->txtValue)
        box->setText(QStringLiteral("keep"));
    f.ui().txtDataLength->setText(QString::number(count));
    f.ui().comDoOnce->click();
    f.comm->deliver(block);
    QCOMPARE(f.window->RecCount, 1);
    QCOMPARE(f.ui().txtState->toPlainText().remove(u' '),
             QString::fromLatin1(block.toHex().toUpper()));
    QCOMPARE(f.ui().txtState->palette().color(QPalette::Text), QColor(255, 0, 0));
    for (QLineEdit *box : f.window->txtValue)
        QCOMPARE(box->text(), QStringLiteral("keep"));
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
}

void MeasurementTest::redGoesBackOnTheNextGoodReply() {
    WindowFixture f;
    const QColor normal = f.ui().txtState->palette().color(QPalette::Text);
    f.ui().txtDataLength->setText(QStringLiteral("2"));
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01030401F4FFFFBB8E"));
    QCOMPARE(f.ui().txtState->palette().color(QPalette::Text), QColor(255, 0, 0));
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01030401F4FFFFBB8D"));
    QCOMPARE(f.ui().txtState->palette().color(QPalette::Text), normal);
    QCOMPARE(f.window->txtValue[0]->text(), QStringLiteral("500"));
}

void MeasurementTest::repliesBelowTheThresholdStayUnseen() {
    WindowFixture f;
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01031401C2")); // the start of the reply: 5 of 25 bytes
    QCOMPARE(f.window->RecCount, 0);
    QCOMPARE(f.lamp(), QStringLiteral("ImgYellow"));
    f.ui().comDoOnce->click(); // the next request discards it
    QVERIFY(f.comm->waiting.isEmpty());
}

// A configuration reply moves the address boxes only when it is a whole frame that answers the
// request sent; anything else is counted and shown in red, and the boxes keep their text. An echo
// of another value than the one sent says so.
void MeasurementTest::configurationReplies_data() {
    QTest::addColumn<QString>("request"); // change 2 -> 5, read at 7, write 1000 at 2
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("address"); // empty: rejected
    QTest::addColumn<QString>("note");    // the receive box's tooltip
    auto row = [](const char *name, const char *request, const char *block, const char *address,
                  const char *note = "") {
        QTest::newRow(name) << QString::fromLatin1(request) << QByteArray::fromHex(block)
                            << QString::fromLatin1(address) << QString::fromUtf8(note);
    };
    row("change: echo", "change", "02060B0000054BDE", "5");
    row("change: echo from the new address", "change", "05060B0000054A69", "5");
    row("change: echo of another address", "change", "02060B00002A0A02", "",
        "模块应答的地址为42，请用读地址核对");
    row("change: bad CRC", "change", "02060B0000054BDF", "");
    row("read: reply", "read", "07030201F43053", "7");
    row("read: another module answers", "read", "09030201F45992", "9");
    row("read: a write's echo", "read", "02060A0503E89A9E", "");
    row("read: the line gives the request back", "read", "07030000000184", "",
        "线路回传了发送的数据：请用 --echo 启动本程序");
    row("read: exception", "read", "07830220F0", "", "模块拒绝：02 非法数据地址");
    row("write: echo", "write", "02060A0503E89A9E", "2");
    row("write: echo of another value", "write", "02060A0503E95B5E", "",
        "模块应答的值为1001，请用单次核对");
    row("write: echo from another module", "write", "03060A0503E89B4F", "");
}

void MeasurementTest::configurationReplies() {
    QFETCH(QString, request);
    QFETCH(QByteArray, block);
    QFETCH(QString, address);
    QFETCH(QString, note);
    WindowFixture f;
    if (request == u"change") {
        f.window->txtSetID[0]->setText(QStringLiteral("2"));
        f.window->txtSetID[1]->setText(QStringLiteral("5"));
        f.ui().cmdChangeID->click();
    } else {
        f.ui().txtStationID->setText(request == u"read" ? QStringLiteral("7")
                                                        : QStringLiteral("2"));
        f.window->txtValue[5]->setText(QStringLiteral("1000"));
        (request == u"read" ? f.ui().cmdReadAdd : f.ui().cmdSet_3)->click();
    }
    const QString source = f.window->txtSetID[0]->text();
    const QString station = f.ui().txtStationID->text();
    f.comm->waiting = block; // handled as at the threshold, whatever its length
    f.comm->raise(CommControl::comEvReceive);
    const bool accepted = !address.isEmpty();
    QCOMPARE(f.window->txtSetID[0]->text(), accepted ? address : source);
    QCOMPARE(f.ui().txtStationID->text(), accepted ? address : station);
    QCOMPARE(f.ui().txtState->palette().color(QPalette::Text) == QColor(255, 0, 0), !accepted);
    QCOMPARE(f.ui().txtState->toPlainText().size(), block.size() * 3);
    QCOMPARE(f.ui().txtState->toolTip(), note);
    if (!note.isEmpty())
        QCOMPARE(f.ui().txtState->accessibleDescription(), note);
    QCOMPARE(f.window->RecCount, 1);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
}

void MeasurementTest::nothingPendingOnlyShows() {
    WindowFixture f;
    f.window->Command1_Click();
    f.comm->open = true;
    f.comm->deliver(f.hex("02060B0000054BDE"));
    QCOMPARE(f.ui().txtState->toPlainText(), QStringLiteral(" 02 06 0B 00 00 05 4B DE"));
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("1"));
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.window->txtSetID[0]->text(), QStringLiteral("1"));
    QCOMPARE(f.ui().txtStationID->text(), QStringLiteral("1"));
}

void MeasurementTest::otherEventsOnlyCount() {
    WindowFixture f;
    f.ui().comDoOnce->click();
    f.comm->waiting = f.hex("01030401F4FFFFBB8D");
    f.comm->raise(CommControl::comEventFrame);
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("1"));
    QCOMPARE(f.lamp(), QStringLiteral("ImgYellow"));
    QCOMPARE(f.ui().txtState->toPlainText(), QString());
    QCOMPARE(f.comm->waiting.size(), 9); // not read
}

void MeasurementTest::eventCounterStopsAtItsLimit() {
    WindowFixture f;
    f.window->RecCount = std::numeric_limits<qint32>::max() - 1;
    f.comm->raise(CommControl::comEventBreak);
    f.comm->raise(CommControl::comEventBreak);
    QCOMPARE(f.window->RecCount, std::numeric_limits<qint32>::max());
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("2147483647"));
}

void MeasurementTest::emptyReadStillTurnsTheLampGreen() {
    WindowFixture f;
    f.ui().comDoOnce->click();
    f.comm->raise(CommControl::comEvReceive); // nothing waiting
    QCOMPARE(f.ui().txtState->toPlainText(), QString());
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.window->txtValue[0]->text(), QStringLiteral("0"));
}

QTEST_MAIN(MeasurementTest)
#include "measurement_test.moc"
