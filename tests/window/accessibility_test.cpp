// What a screen reader and a high-DPI screen get: accessible names from the text beside each
// control (as the accessible interface reports them), the counters' numbers and the lamp's state
// as text, and captions that fit their controls (run at several QT_SCALE_FACTOR values).
#include "caption_fit.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void accessibleNames_data();
    void accessibleNames();
    void countersReadTheirNumbers();
    void lampStateAsText();
    void captionsFitTheirControls();
};

void AccessibilityTest::accessibleNames_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    const std::pair<const char *, const char *> rows[] = {{"Combo1", "串口号"},
                                                          {"Combo2", "波特率"},
                                                          {"txtCommand", "串口发送数据"},
                                                          {"txtState", "串口接收数据"},
                                                          {"txtStationID", "设备地址"},
                                                          {"txtFunID", "功能码"},
                                                          {"txtStartID", "超始地址"},
                                                          {"txtDataLength", "数据长度"},
                                                          {"txtSetID_0", "将地址"},
                                                          {"txtSetID_1", "修改为"},
                                                          {"txtValue_0", "气体浓度"},
                                                          {"txtValue_2", "量程系数"},
                                                          {"txtValue_5", "显示值校准"},
                                                          {"cmdSet_3", "设置 显示值校准"},
                                                          {"txtTimerSet", "定时时长(ms)"},
                                                          {"Picture2", "数据采集通讯状态指示"},
                                                          {"Combo3", "校验位"},
                                                          {"Combo4", "数据位"},
                                                          {"Combo5", "停止位"}};
    for (const auto &[control, name] : rows)
        QTest::newRow(control) << QString::fromUtf8(control) << QString::fromUtf8(name);
}

void AccessibilityTest::accessibleNames() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    WindowFixture f;
    auto *widget = f.window->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), name);
}

namespace {
QString nameOf(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}
} // namespace

// A counter's name is the number it shows (the AT-SPI test checks that a screen reader hears each
// change); its description says which count it is, and the caption above labels it.
void AccessibilityTest::countersReadTheirNumbers() {
    WindowFixture f;
    QLabel *received = f.ui().lblErrCounter;
    QLabel *requested = f.ui().lblCounter;
    QCOMPARE(nameOf(received), QStringLiteral("0"));
    QCOMPARE(QAccessible::queryAccessibleInterface(received)->text(QAccessible::Description),
             QStringLiteral("成功接收 计数"));
    QCOMPARE(QAccessible::queryAccessibleInterface(requested)->text(QAccessible::Description),
             QStringLiteral("循环 计数"));
    f.ui().comDoOnce->click();
    QCOMPARE(nameOf(requested), QStringLiteral("1"));
    f.comm->deliver(f.hex("01031401C200000001000007D003E8000007D000070008697E"));
    QCOMPARE(nameOf(received), QStringLiteral("1"));
    const auto labelledBy =
        QAccessible::queryAccessibleInterface(received)->relations(QAccessible::Label);
    QVERIFY(std::any_of(labelledBy.begin(), labelledBy.end(), [&](const auto &relation) {
        return relation.first->object() == f.ui().Label1_1;
    }));
}

void AccessibilityTest::lampStateAsText() {
    WindowFixture f;
    QCOMPARE(f.ui().Picture2->accessibleDescription(), QStringLiteral("绿灯"));
    f.ui().comDoOnce->click();
    QCOMPARE(f.ui().Picture2->accessibleDescription(), QStringLiteral("黄灯"));
    f.ui().Command1->click();
    QCOMPARE(f.ui().Picture2->accessibleDescription(), QStringLiteral("红灯"));
}

// Every visible caption is drawn whole: its text is no wider than its control leaves room for.
void AccessibilityTest::captionsFitTheirControls() {
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    // the address line's blanks are covered by its two boxes on purpose
    const QStringList clipped = clippedCaptions(*f.window, f.ui().Label2_7);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u' ')));
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
