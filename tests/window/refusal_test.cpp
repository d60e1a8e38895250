// A module that refuses a request: its exception reply is handled as soon as it is whole, for every
// kind of request, shown in red and named; anything else waits for the receive threshold as before.
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QtTest>

namespace {
enum class Ask { Measurement, AddressChange, AddressRead, ParameterWrite };

void ask(WindowFixture &f, Ask what) {
    switch (what) {
    case Ask::Measurement:
        f.ui().comDoOnce->click();
        break;
    case Ask::AddressChange:
        f.window->txtSetID[1]->setText(QStringLiteral("5"));
        f.ui().cmdChangeID->click();
        break;
    case Ask::AddressRead:
        f.ui().cmdReadAdd->click();
        break;
    case Ask::ParameterWrite: // 量程高值 30000 to module 2
        f.ui().txtStationID->setText(QStringLiteral("2"));
        f.window->txtValue[4]->setText(QStringLiteral("30000"));
        f.window->cmdSet[2]->click();
        break;
    }
}
} // namespace

Q_DECLARE_METATYPE(Ask)

class RefusalTest : public QObject {
    Q_OBJECT
private slots:
    void replyPath_data();
    void replyPath();
};

void RefusalTest::replyPath_data() {
    QTest::addColumn<Ask>("what");
    QTest::addColumn<QByteArrayList>("arrivals");
    QTest::addColumn<bool>("handled"); // by the last arrival
    QTest::addColumn<QString>("refusal");
    const auto row = [](const char *name, Ask what, QStringList arrivals, bool handled,
                        const char *refusal) {
        QByteArrayList bytes;
        for (const QString &arrival : arrivals)
            bytes << QByteArray::fromHex(arrival.toLatin1());
        QTest::newRow(name) << what << bytes << handled << QString::fromUtf8(refusal);
    };
    row("measurement refused", Ask::Measurement, {"018302C0F1"}, true, "模块拒绝：02 非法数据地址");
    row("address change refused", Ask::AddressChange, {"01860183A0"}, true,
        "模块拒绝：01 非法功能");
    row("address read refused", Ask::AddressRead, {"018302C0F1"}, true,
        "模块拒绝：02 非法数据地址");
    row("parameter write refused", Ask::ParameterWrite, {"02860233A1"}, true,
        "模块拒绝：02 非法数据地址");
    row("refusal split", Ask::Measurement, {"0183", "02C0F1"}, true, "模块拒绝：02 非法数据地址");
    row("unknown code", Ask::AddressRead, {"01832AC0EF"}, true, "模块拒绝：2A 未知异常");
    row("bad CRC waits", Ask::Measurement, {"018302C0F2"}, false, "");
    row("another module's refusal waits", Ask::Measurement, {"02830230F1"}, false, "");
    row("another function's refusal waits", Ask::AddressChange, {"018302C0F1"}, false, "");
    // starts like a refusal, then reaches the threshold: an ordinary rejected reply
    row("only the start of a refusal", Ask::Measurement,
        {"018302AABB", "0000000000000000000000000000000000000000"}, true, "");
}

void RefusalTest::replyPath() {
    QFETCH(Ask, what);
    QFETCH(QByteArrayList, arrivals);
    QFETCH(bool, handled);
    QFETCH(QString, refusal);
    WindowFixture f;
    for (QLineEdit *box : f.window->txtValue)
        box->setText(QStringLiteral("keep"));
    ask(f, what);
    QVERIFY(f.messages.isEmpty());
    const QString lampAfterRequest = f.lamp();
    const QString station = f.ui().txtStationID->text();
    const QString present = f.window->txtSetID[0]->text();
    QByteArray all;
    for (const QByteArray &bytes : arrivals) {
        QCOMPARE(f.window->RecCount, 0);
        f.comm->deliver(bytes);
        all += bytes;
    }
    if (!handled) {
        QCOMPARE(f.window->RecCount, 0);
        QCOMPARE(f.lamp(), lampAfterRequest);
        QCOMPARE(f.ui().txtState->toPlainText(), QString());
        return;
    }
    QCOMPARE(f.window->RecCount, 1);
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("1"));
    QCOMPARE(f.ui().txtState->toPlainText().remove(u' '),
             QString::fromLatin1(all.toHex().toUpper()));
    QCOMPARE(f.ui().txtState->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(f.ui().txtState->toolTip(), refusal);
    QCOMPARE(f.ui().txtState->accessibleDescription(),
             refusal.isEmpty() ? QString::fromUtf8("无效应答，未解码") : refusal);
    for (QLineEdit *box : f.window->txtValue) {
        if (box != f.window->txtValue[4] || what != Ask::ParameterWrite)
            QCOMPARE(box->text(), QStringLiteral("keep"));
    }
    QCOMPARE(f.ui().txtStationID->text(), station);
    QCOMPARE(f.window->txtSetID[0]->text(), present);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    ask(f, what); // the next request empties the box, and what it said of the reply goes with it
    QCOMPARE(f.ui().txtState->toolTip(), QString());
    QCOMPARE(f.ui().txtState->accessibleDescription(), QString());
}

QTEST_MAIN(RefusalTest)
#include "refusal_test.moc"
