// The window on a line that gives back every request before the reply (--echo): the echo is
// removed, the reply handled as on any line; bytes that are not the echo are handled at once.
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QtTest>

class EchoTest : public QObject {
    Q_OBJECT
private slots:
    void replyAfterTheEcho_data();
    void replyAfterTheEcho();
};

void EchoTest::replyAfterTheEcho_data() {
    QTest::addColumn<QString>("request"); // measurement of 2 registers, or address change 1 -> 2
    QTest::addColumn<QByteArrayList>("arrivals");
    QTest::addColumn<int>("handledAfter"); // arrivals before the reply is handled; -1: never
    QTest::addColumn<QString>("shown");    // the receive box
    QTest::addColumn<QString>("decoded");  // txtValue(0), or the address boxes
    QTest::addColumn<QString>("note");     // the receive box's tooltip
    const QByteArray read = WindowFixture::hex("010300000002C40B");
    const QByteArray change = WindowFixture::hex("01060B0000020A2F");
    const QByteArray reading = WindowFixture::hex("01030401F4FFFFBB8D");
    QTest::newRow("echo, then the reading")
        << "read" << QByteArrayList{read, reading} << 2 << " 01 03 04 01 F4 FF FF BB 8D"
        << "500"
        << "";
    QTest::newRow("echo and reading in pieces")
        << "read"
        << QByteArrayList{read.first(5), read.sliced(5) + reading.first(4), reading.sliced(4)} << 3
        << " 01 03 04 01 F4 FF FF BB 8D"
        << "500"
        << "";
    QTest::newRow("a write's two copies")
        << "change" << QByteArrayList{change, change} << 2 << " 01 06 0B 00 00 02 0A 2F"
        << "2"
        << "";
    QTest::newRow("a refusal at once, past the echo")
        << "read" << QByteArrayList{read, WindowFixture::hex("018302C0F1")} << 2
        << " 01 83 02 C0 F1"
        << "0" << QString::fromUtf8("模块拒绝：02 非法数据地址");
    QTest::newRow("the echo alone waits for the reply")
        << "read" << QByteArrayList{read} << -1 << ""
        << "0"
        << "";
    QTest::newRow("a line that does not echo, at once")
        << "read" << QByteArrayList{reading.first(3)} << 1 << " 01 03 04"
        << "0" << QString::fromUtf8("线路没有回传发送的数据：请不带 --echo 启动本程序");
    QTest::newRow("a line that does not echo, the reply's first bytes alike")
        << "read" << QByteArrayList{reading.first(2), reading.sliced(2)} << 2
        << " 01 03 04 01 F4 FF FF BB 8D"
        << "0" << QString::fromUtf8("线路没有回传发送的数据：请不带 --echo 启动本程序");
}

void EchoTest::replyAfterTheEcho() {
    QFETCH(QString, request);
    QFETCH(QByteArrayList, arrivals);
    QFETCH(int, handledAfter);
    QFETCH(QString, shown);
    QFETCH(QString, decoded);
    QFETCH(QString, note);
    WindowFixture f(WindowFixture::Start::Loaded, true, WindowFixture::Line::Echoing);
    f.comm->open = true;
    if (request == u"read") {
        f.ui().txtDataLength->setText(QStringLiteral("2"));
        f.window->comDoOnce_Click();
    } else {
        f.window->txtSetID[1]->setText(QStringLiteral("2"));
        f.window->cmdChangeID_Click();
    }
    QCOMPARE(f.window->RecThreshold, request == u"read" ? 9 : 8); // the reply's, as without echo
    for (int arrival = 0; arrival < arrivals.size(); ++arrival) {
        f.comm->deliver(arrivals[arrival]);
        QCOMPARE(f.window->RecCount, arrival + 1 >= handledAfter && handledAfter > 0 ? 1 : 0);
    }
    QCOMPARE(f.ui().txtState->toPlainText(), shown);
    QCOMPARE(request == u"read" ? f.window->txtValue[0]->text() : f.window->txtSetID[0]->text(),
             decoded);
    QCOMPARE(f.ui().txtState->toolTip(), note);
    QCOMPARE(f.lamp(), handledAfter > 0 || request != u"read" ? QStringLiteral("imgConnected")
                                                              : QStringLiteral("ImgYellow"));
}

QTEST_MAIN(EchoTest)
#include "echo_test.moc"
