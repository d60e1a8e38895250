// What a screen reader and a high-DPI screen get: accessible names from the text beside each
// control, the lamp's state as text, and captions that fit their controls (run at several
// QT_SCALE_FACTOR values).
#include "caption_fit.h"
#include "window_fixture.h"

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
                                                          {"lblErrCounter", "成功接收 计数"},
                                                          {"lblCounter", "循环 计数"}};
    for (const auto &[control, name] : rows)
        QTest::newRow(control) << QString::fromUtf8(control) << QString::fromUtf8(name);
}

void AccessibilityTest::accessibleNames() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    WindowFixture f;
    auto *widget = f.window->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->accessibleName(), name);
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
