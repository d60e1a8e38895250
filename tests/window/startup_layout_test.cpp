// Start-up, the fixed layout and the product page link, on the real window.
#include "expected_texts.h"
#include "window_fixture.h"

#include "app/line_shape.h"
#include "app/product_page.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class StartupLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void startUpStateWithCom1Free();
    void startUpTalksToTheSerialControlInOrder();
    void startUpWithCom1AbsentShowsNothing();
    void baudListHoldsExactlyTheFourRates();
    void designTimeTextsBeforeStartUp();
    void controlsSitWhereTheLayoutPutsThem_data();
    void controlsSitWhereTheLayoutPutsThem();
    void hiddenRowsNeverAppear();
    void controlArraysIndexedAsTheWindowIndexesThem();
    void focusOrderStartsAtTheFunctionCode();
    void linkOpensTheProductPageNotTheAddressShown();
    void formLoadRunsOnce();
};

void StartupLayoutTest::startUpStateWithCom1Free() {
    WindowFixture f;
    QCOMPARE(f.ui().Combo1->currentIndex(), 0);
    QCOMPARE(f.ui().Combo1->currentText(), QStringLiteral("COM1"));
    QCOMPARE(f.ui().Combo2->currentText(), QStringLiteral("9600"));
    QCOMPARE(f.ui().Combo2->currentIndex(), 2);
    QCOMPARE(f.ui().txtStationID->text(), QStringLiteral("1"));
    QCOMPARE(f.ui().txtFunID->text(), QStringLiteral("3"));
    QCOMPARE(f.ui().txtStartID->text(), QStringLiteral("0"));
    QCOMPARE(f.ui().txtDataLength->text(), QStringLiteral("10"));
    QVERIFY(f.comm->open);
    QCOMPARE(f.comm->settings, QStringLiteral("9600,N,8,1"));
    QCOMPARE(f.comm->commPort, 1);
    QCOMPARE(f.comm->inputMode, 1);
    QCOMPARE(f.comm->inputLen, 0);
    QCOMPARE(f.comm->rThreshold, 1);
    QCOMPARE(f.comm->sThreshold, 0);
    QCOMPARE(f.window->CommNum, 1);
    QCOMPARE(f.window->CommRate, 9600);
    QVERIFY(f.window->PollEnabled);
    QCOMPARE(f.window->CmdType, 0);
    QCOMPARE(f.window->RecCount, 0);
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.ui().lblErrCounter->text(), QStringLiteral("0"));
    QCOMPARE(f.ui().lblCounter->text(), QStringLiteral("0"));
    QVERIFY(f.messages.isEmpty());
    QVERIFY(f.comm->sent.isEmpty());
    QVERIFY(!f.window->Timer2.isTicking());
}

void StartupLayoutTest::startUpTalksToTheSerialControlInOrder() {
    WindowFixture f(WindowFixture::Start::NotLoaded);
    f.window->Form_Load();
    const QStringList expected = {
        "Settings=9600,N,8,1", // the baud-list click, port still closed
        "CommPort=1", "InputMode=1", "InputLen=0", "InBufferCount=0", "OutBufferCount=0",
        "SThreshold=0", "RThreshold=1", "InputMode=1", "Settings=9600,N,8,1",
        // the port-list click
        "CommPort=1", "Settings=9600,N,8,1", "PortOpen=true", "RThreshold=1", "InputMode=1"};
    QCOMPARE(f.comm->log, expected);
}

void StartupLayoutTest::startUpWithCom1AbsentShowsNothing() {
    WindowFixture f(WindowFixture::Start::Loaded, /*com1Available=*/false);
    QVERIFY(f.messages.isEmpty());
    QVERIFY(!f.comm->open);
    QVERIFY(f.window->PollEnabled);
    QCOMPARE(f.lamp(), QStringLiteral("imgNotConnected")); // red at once, no message
    QCOMPARE(f.window->CommNum, 1);
    f.ui().comDoOnce->click();
    QCOMPARE(f.lastMessage(), expected::kPortClosed);
}

void StartupLayoutTest::baudListHoldsExactlyTheFourRates() {
    WindowFixture f(WindowFixture::Start::NotLoaded);
    f.ui().Combo2->addItem(QStringLiteral("115200")); // left over before start-up
    f.window->Form_Load();
    QStringList entries;
    for (int i = 0; i < f.ui().Combo2->count(); ++i)
        entries << f.ui().Combo2->itemText(i);
    QCOMPARE(entries, (QStringList{"2400", "4800", "9600", "19200"}));
}

void StartupLayoutTest::designTimeTextsBeforeStartUp() {
    WindowFixture f(WindowFixture::Start::NotLoaded);
    QCOMPARE(f.ui().Combo1->currentText(), QStringLiteral("COM4"));
    QCOMPARE(f.ui().Combo1->count(), 25);
    QCOMPARE(f.ui().Combo1->itemText(24), QStringLiteral("COM25"));
    QCOMPARE(f.ui().Combo2->currentText(), QStringLiteral("9600"));
    QCOMPARE(f.ui().txtStationID->text(), QStringLiteral("2"));
    QCOMPARE(f.ui().txtDataLength->text(), QStringLiteral("4"));
    QCOMPARE(f.ui().txtTimerSet->text(), QStringLiteral("1000"));
    QCOMPARE(f.lamp(), QStringLiteral("imgConnected"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("GX7140R二氧化碳传感器工具软件"));
    QCOMPARE(f.window->size(), QSize(604, 410));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.window->Timer2.Interval(), 0);
    QCOMPARE(f.ui().lblurl->text(), Module1::MakerSiteUrl());
    for (QLabel *lamp : {f.ui().imgConnected, f.ui().ImgYellow, f.ui().imgNotConnected}) {
        QCOMPARE(lamp->toolTip(), QStringLiteral("数据采集通讯状态指示"));
        QVERIFY(!lamp->pixmap().isNull());
    }
    QVERIFY(!f.window->windowIcon().isNull());
}

// Positions in twips (Left, Top, Width, Height) from the layout, relative to the container;
// 15 twips to a pixel, rounded to nearest.
void StartupLayoutTest::controlsSitWhereTheLayoutPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    const struct {
        const char *name, *container;
        int l, t, w, h;
        const char *text;
    } rows[] = {
        {"Frame5", "frmMain", 120, 120, 2415, 5655, "串口设置"},
        {"Frame10", "frmMain", 2640, 120, 6375, 735, "MODBUS设置"},
        {"Frame12", "frmMain", 2640, 960, 6375, 735, "设备地址修改操作"},
        {"Frame3", "frmMain", 2640, 1800, 6375, 3975, "数据及参数查询"},
        {"Label3", "Frame5", 360, 240, 1092, 252, "串口号"},
        {"Combo1", "Frame5", 1080, 240, 855, 300, nullptr},
        {"Label5_2", "Frame5", 360, 600, 612, 252, "波特率"},
        {"Combo2", "Frame5", 1080, 600, 855, 300, nullptr},
        {"Label5_0", "Frame5", 360, 960, 612, 252, "校验位"},
        {"Combo3", "Frame5", 1080, 960, 855, 300, "无校验"},
        {"Label5_1", "Frame5", 360, 1320, 612, 252, "数据位"},
        {"Combo4", "Frame5", 1080, 1320, 855, 300, "8"},
        {"Label5_3", "Frame5", 360, 1680, 612, 252, "停止位"},
        {"Combo5", "Frame5", 1080, 1680, 855, 300, "1"},
        {"Picture2", "Frame5", 600, 2160, 900, 255, nullptr},
        {"imgConnected", "Picture2", 360, 0, 240, 240, nullptr},
        {"ImgYellow", "Picture2", 360, 0, 240, 240, nullptr},
        {"imgNotConnected", "Picture2", 360, 0, 225, 240, nullptr},
        {"cmdCom", "Frame5", 120, 2520, 975, 375, "打开串口"},
        {"Command1", "Frame5", 1320, 2520, 975, 375, "关闭串口"},
        {"Label7", "Frame5", 120, 3000, 1335, 255, "串口发送数据"},
        {"txtCommand", "Frame5", 120, 3360, 2175, 315, ""},
        {"Label1_0", "Frame5", 120, 3720, 1335, 255, "串口接收数据"},
        {"txtState", "Frame5", 120, 3960, 2175, 735, ""},
        {"Label1_1", "Frame5", 120, 4800, 1935, 255, "成功接收/循环 计数"},
        {"lblErrCounter", "Frame5", 120, 5040, 975, 255, "0"},
        {"lblCounter", "Frame5", 1320, 5040, 975, 255, "0"},
        {"Label8_0", "Frame10", 120, 360, 855, 255, "设备地址"},
        {"txtStationID", "Frame10", 840, 360, 495, 270, "2"},
        {"Label8_3", "Frame10", 1560, 360, 855, 255, "功 能 码"},
        {"txtFunID", "Frame10", 2280, 360, 495, 270, "3"},
        {"Label8_1", "Frame10", 2880, 360, 855, 255, "超始地址"},
        {"txtStartID", "Frame10", 3600, 360, 495, 270, "0"},
        {"Label8_2", "Frame10", 4320, 360, 735, 255, "数据长度"},
        {"txtDataLength", "Frame10", 5040, 360, 495, 270, "4"},
        {"Label2_7", "Frame12", 240, 390, 1815, 255, "将地址      修改为  "},
        {"txtSetID_0", "Frame12", 840, 360, 435, 270, "1"},
        {"txtSetID_1", "Frame12", 1920, 360, 555, 270, "1"},
        {"cmdChangeID", "Frame12", 2760, 240, 1215, 375, "执行"},
        {"cmdReadAdd", "Frame12", 4560, 240, 1215, 375, "读地址"},
        {"lblDanWei_2", "Frame3", 120, 360, 1395, 300, "气体浓度"},
        {"txtValue_0", "Frame3", 1560, 360, 1000, 270, "0"},
        {"lblDanWei_0", "Frame3", 2640, 360, 855, 255, "ppm"},
        {"lblDanWei_1", "Frame3", 6480, 720, 1395, 300, "报警状态"},
        {"txtValue_1", "Frame3", 7920, 720, 1000, 270, "0"},
        {"lblDanWei_3", "Frame3", 9000, 720, 3015, 255, "值0时正常,1时报警"},
        {"lblDanWei_6", "Frame3", 120, 900, 1395, 300, "量程系数"},
        {"txtValue_2", "Frame3", 1560, 900, 645, 270, "0"},
        {"cmdSet_0", "Frame3", 2280, 900, 855, 275, "设置"},
        {"Label2_4", "Frame3", 3240, 900, 3015, 255, "值范围为：0.5到2.0，默认值1.0"},
        {"lblDanWei_12", "Frame3", 120, 1440, 1395, 300, "量程低值"},
        {"txtValue_3", "Frame3", 1560, 1440, 645, 270, "0"},
        {"cmdSet_1", "Frame3", 2280, 1440, 855, 275, "设置"},
        {"Label2_2", "Frame3", 3240, 1440, 2415, 255, "值范围为：0-1000，默认为0"},
        {"lblDanWei_9", "Frame3", 120, 2000, 1395, 300, "量程高值"},
        {"txtValue_4", "Frame3", 1560, 2000, 645, 270, "0"},
        {"cmdSet_2", "Frame3", 2280, 2000, 855, 275, "设置"},
        {"Label2_3", "Frame3", 3240, 2000, 2895, 255, "值范围为：1000-20000，默认为2000"},
        {"lblDanWei_11", "Frame3", 120, 2520, 1395, 300, "显示值校准"},
        {"txtValue_5", "Frame3", 1560, 2520, 645, 270, "0"},
        {"cmdSet_3", "Frame3", 2280, 2520, 855, 275, "设置"},
        {"Label2_5", "Frame3", 3240, 2520, 3015, 255, "值范围为：100-2000，默认为1000"},
        {"lblDanWei_8", "Frame3", 6480, 2520, 1395, 300, "报警低值"},
        {"txtValue_6", "Frame3", 7920, 2520, 645, 270, "0"},
        {"cmdSet_4", "Frame3", 8640, 2520, 855, 275, "设置"},
        {"Label2_8", "Frame3", 9600, 2520, 2775, 255, "值范围为：0-1000，默认为0"},
        {"lblDanWei_4", "Frame3", 6480, 2880, 1395, 300, "报警高值"},
        {"txtValue_7", "Frame3", 7920, 2880, 645, 270, "0"},
        {"cmdSet_5", "Frame3", 8640, 2880, 855, 275, "设置"},
        {"Label2_6", "Frame3", 9600, 2880, 3015, 255, "值范围为：100-20000，默认为2000"},
        {"Label8_4", "Frame3", 240, 3480, 1215, 255, "定时时长(ms)"},
        {"txtTimerSet", "Frame3", 1680, 3480, 615, 270, "1000"},
        {"comDoOnce", "Frame3", 2640, 3360, 975, 375, "单次"},
        {"cmdOneM", "Frame3", 3960, 3360, 975, 375, "循环"},
        {"cmdStopOnce", "Frame3", 5280, 3360, 855, 375, "停止"},
        {"Label1_2", "frmMain", 120, 5880, 3855, 255, "手册及资料下载(请点击链接)："},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.name) << QString::fromUtf8(r.container)
                              << QRect(r.l, r.t, r.w, r.h)
                              << (r.text ? QString::fromUtf8(r.text) : QString());
}

static QString shownText(QWidget *w) {
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *box = qobject_cast<QLineEdit *>(w))
        return box->text();
    if (auto *box = qobject_cast<QPlainTextEdit *>(w))
        return box->toPlainText();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return button->text();
    if (auto *frame = qobject_cast<QGroupBox *>(w))
        return frame->title();
    if (auto *list = qobject_cast<QComboBox *>(w))
        return list->currentText();
    return {};
}

void StartupLayoutTest::controlsSitWhereTheLayoutPutsThem() {
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    WindowFixture f(WindowFixture::Start::NotLoaded);
    auto *control = f.window->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), container);
    auto px = [](int t) { return int(std::floor(t / 15.0 + 0.5)); };
    QCOMPARE(control->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    if (!text.isNull())
        QCOMPARE(shownText(control), text);
}

void StartupLayoutTest::hiddenRowsNeverAppear() {
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.ui().comDoOnce->click();
    f.comm->deliver(f.hex("01031401C200010001000007D003E8000A07D00007000892EE"));
    QCOMPARE(f.window->txtValue[6]->text(), QStringLiteral("10"));
    const QStringList hidden = {"lblDanWei_1", "txtValue_1", "lblDanWei_3", "lblDanWei_8",
                                "txtValue_6",  "cmdSet_4",   "Label2_8",    "lblDanWei_4",
                                "txtValue_7",  "cmdSet_5",   "Label2_6"};
    for (const QString &name : hidden) {
        auto *w = f.window->findChild<QWidget *>(name);
        QVERIFY2(w && !w->isVisible(), qPrintable(name));
        QVERIFY2(w->geometry().left() >= w->parentWidget()->width(), qPrintable(name));
    }
    QVERIFY(f.window->txtValue[5]->isVisible());
    QVERIFY(f.ui().Line1_0->isVisible());
    QVERIFY(f.ui().Line1_0->risingDiagonal());
}

void StartupLayoutTest::controlArraysIndexedAsTheWindowIndexesThem() {
    WindowFixture f;
    for (int i : {5, 7, 10})
        QVERIFY(f.window->lblDanWei[i] == nullptr);
    int present = 0;
    for (QLabel *label : f.window->lblDanWei)
        present += label != nullptr;
    QCOMPARE(present, 10);
    QCOMPARE(f.window->lblDanWei[12]->text(), QStringLiteral("量程低值"));
    QCOMPARE(f.window->txtValue[3]->objectName(), QStringLiteral("txtValue_3"));
    QCOMPARE(f.window->cmdSet[0]->objectName(), QStringLiteral("cmdSet_0"));
    QCOMPARE(f.window->txtSetID[1]->objectName(), QStringLiteral("txtSetID_1"));
    QCOMPARE(f.window->Label2[7]->text(), QStringLiteral("将地址      修改为  "));
}

void StartupLayoutTest::focusOrderStartsAtTheFunctionCode() {
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QCOMPARE(QApplication::focusWidget(), f.ui().txtFunID);
    const QList<QWidget *> chain = {f.ui().txtFunID,     f.ui().txtDataLength, f.ui().txtStartID,
                                    f.ui().txtStationID, f.ui().cmdReadAdd,    f.ui().txtSetID_0};
    for (int i = 1; i < chain.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), chain[i]);
    }
}

void StartupLayoutTest::linkOpensTheProductPageNotTheAddressShown() {
    WindowFixture f;
    QTest::mouseClick(f.ui().lblurl, Qt::LeftButton);
    QTest::mouseClick(f.ui().lblurl, Qt::LeftButton);
    QCOMPARE(f.openedUrls.size(), 2);
    for (const QUrl &url : f.openedUrls) {
        QCOMPARE(url, QUrl(Module1::ProductPageUrl()));
        QVERIFY(url.toString() != f.ui().lblurl->text());
        QVERIFY(url.path() == QStringLiteral("/tarnoxaproducts/sensor/co2/2014/1230/1816.html"));
        QCOMPARE(url.host(), QUrl(Module1::MakerSiteUrl()).host());
    }
    QVERIFY(Module1::MakerSiteUrl().endsWith(u'/'));
    QVERIFY(f.comm->log.isEmpty());
}

void StartupLayoutTest::formLoadRunsOnce() {
    WindowFixture f;
    f.ui().txtDataLength->setText(QStringLiteral("7"));
    f.window->Form_Load();
    QCOMPARE(f.ui().txtDataLength->text(), QStringLiteral("7"));
    QVERIFY(f.comm->log.isEmpty());
}

QTEST_MAIN(StartupLayoutTest)
#include "startup_layout_test.moc"
