// What a screen reader and a high-DPI screen get: accessible names from the text beside each
// control (as the accessible interface reports them), the value boxes' units and ranges, the
// counters' numbers, the lamp as a status indicator with its state as text, and captions that fit
// their controls (run at several QT_SCALE_FACTOR values).
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
    void valueBoxesDescribedByTheLabelBeside();
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

QString descriptionOf(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
}
} // namespace

void AccessibilityTest::valueBoxesDescribedByTheLabelBeside() {
    WindowFixture f;
    const std::pair<const char *, const char *> rows[] = {
        {"txtValue_0", "ppm"},
        {"txtValue_2", "值范围为：0.5到2.0，默认值1.0"},
        {"txtValue_3", "值范围为：0-1000，默认为0"},
        {"txtValue_4", "值范围为：1000-20000，默认为2000"},
        {"txtValue_5", "值范围为：100-2000，默认为1000"}};
    for (const auto &[box, description] : rows) {
        auto *widget = f.window->findChild<QLineEdit *>(box);
        QVERIFY2(widget, box);
        QCOMPARE(descriptionOf(widget), QString::fromUtf8(description));
    }
}

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
    QWidget *lamp = f.ui().Picture2;
    QCOMPARE(QAccessible::queryAccessibleInterface(lamp)->role(), QAccessible::StatusBar);
    QCOMPARE(descriptionOf(lamp), QStringLiteral("绿灯"));
    f.ui().comDoOnce->click();
    QCOMPARE(descriptionOf(lamp), QStringLiteral("黄灯"));
    f.ui().Command1->click();
    QCOMPARE(descriptionOf(lamp), QStringLiteral("红灯"));
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
