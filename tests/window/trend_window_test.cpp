// The trend window (--trend) beside the real window with a fake serial control: what it draws
// from the window's exchange, its export, how it closes, its texts in English.
#include "app/around_window.h"
#include "app/translation.h"
#include "chinese_text.h"
#include "core/module_protocol.h"
#include "trend/trend_window.h"
#include "window_fixture.h"

#include <QChart>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

namespace {

const char *const kReply450 = "01031401c200000001000007d003e8012c05dc00000000e494";

struct TrendedWindow : WindowFixture {
    TrendedWindow() : around(*window, nullptr, true), trend(*around.trendWindow()) {}
    void measure(const QByteArray &reply) {
        ui().comDoOnce->click();
        comm->deliver(reply);
    }
    QList<QPointF> pointsOf(int series) const {
        return static_cast<QXYSeries *>(trend.chart()->series().at(series))->points();
    }
    AroundWindow around;
    TrendWindow &trend;
};

// An accepted measurement reply of the module at address 1, at that time.
modbus::ExchangeRecord reading(qint64 ms, int ppm) {
    modbus::ExchangeRecord record;
    record.time = QDateTime::fromMSecsSinceEpoch(ms);
    record.event = modbus::ExchangeRecord::Event::Reply;
    record.kind = modbus::RequestKind::Measurement;
    record.status = modbus::ExchangeRecord::Status::Accepted;
    record.reply = QByteArray::fromHex("0103");
    record.registers = modbus::valuesByRegister(0, std::vector<int>{ppm});
    return record;
}

// Where the chart drew that text (an axis title), in the scene.
QRectF drawnText(const TrendWindow &trend, const QString &text) {
    const auto *view = trend.findChild<QGraphicsView *>();
    for (QGraphicsItem *item : view->scene()->items()) {
        const auto *shownText = dynamic_cast<QGraphicsTextItem *>(item);
        if (shownText && item->isVisible() && shownText->toPlainText() == text)
            return item->sceneBoundingRect();
    }
    return {};
}

} // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
private slots:
    void drawsAcceptedReadingsAndMarksRejectedReplies();
    void exportsTheChart_data();
    void exportsTheChart();
    void placedBesideWhereItFitsElseOverTheWindow_data();
    void placedBesideWhereItFitsElseOverTheWindow();
    void opensOnTheScreen();
    void closingItLeavesTheWindowClosingTheWindowEndsTheProgram();
    void axisTitlesApartBeforeTheFirstReading();
    void figuresShownTogetherComeFromTheSameReadings();
    void speaksEnglishWithTheTranslation();
    void fileDialogsSpeakChinese();
};

void TrendWindowTest::drawsAcceptedReadingsAndMarksRejectedReplies() {
    TrendedWindow w;
    w.measure(w.hex(kReply450));
    w.measure(w.hex("01830440F3") + QByteArray(20, '\0'));
    w.measure(w.hex(kReply450));
    w.window->txtSetID[1]->setText(QStringLiteral("5")); // a configuration reply: not plotted
    w.ui().cmdChangeID->click();
    w.comm->deliver(w.hex("01060b0000054bed"));
    QCOMPARE(w.trend.model().readingCount(), 2u);
    QCOMPARE(w.trend.model().rejectionCount(), 1u);

    w.trend.redraw();
    const QList<QPointF> line = w.pointsOf(0);
    QCOMPARE(line.size(), 2);
    QCOMPARE(line[0].y(), 450.0);
    QCOMPARE(line[1].y(), 450.0);
    const QList<QPointF> marks = w.pointsOf(1);
    QCOMPARE(marks.size(), 1);
    const auto *ppmAxis = static_cast<QValueAxis *>(w.trend.chart()->axes(Qt::Vertical).at(0));
    QCOMPARE(marks[0].y(), ppmAxis->min()); // on the time axis
    QVERIFY(ppmAxis->min() < 450 && ppmAxis->max() > 450);
    const QString summary = w.trend.summaryText();
    QVERIFY2(summary.contains(QStringLiteral("450")) && summary.contains(QStringLiteral(" 2")) &&
                 summary.contains(QStringLiteral(" 1")),
             qPrintable(summary));
}

void TrendWindowTest::exportsTheChart_data() {
    QTest::addColumn<bool>("svg");
    QTest::newRow("PNG") << false;
    QTest::newRow("SVG") << true;
}

void TrendWindowTest::exportsTheChart() {
    QFETCH(bool, svg);
    TrendedWindow w;
    w.measure(w.hex(kReply450));
    w.trend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    QTemporaryDir folder;
    const QString path = folder.filePath(svg ? "trend.svg" : "trend.png");
    w.trend.redraw();
    QVERIFY(svg ? w.trend.exportSvg(path) : w.trend.exportPng(path));
    // What a report needs: when the run started, on which port, which module, and the figures.
    const QStringList report = w.trend.reportLines();
    const QString run = QStringLiteral("开始 %1 ").arg(QDate::currentDate().toString(Qt::ISODate));
    QVERIFY2(report.size() == 3 && report[1].startsWith(run) &&
                 report[1].endsWith(QStringLiteral("串口 COM1　设备地址 1")) &&
                 report[2].endsWith(w.trend.summaryText()),
             qPrintable(report.join(u'\n')));
    if (svg) {
        QSvgRenderer picture(path);
        QVERIFY(picture.isValid());
        QVERIFY(picture.defaultSize().width() > 300);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll()).contains(report[2].toHtmlEscaped()));
    } else {
        const QImage picture(path);
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() > 300);
        QCOMPARE(picture.text(QStringLiteral("Description")), report.join(u'\n'));
    }
    QVERIFY(!w.trend.exportPng(folder.filePath("missing/trend.png")));
}

void TrendWindowTest::placedBesideWhereItFitsElseOverTheWindow_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("mainFrame");
    QTest::addColumn<QPoint>("expected");
    const QSize main(606, 432);
    QTest::newRow("wide screen: to the right")
        << QRect(0, 0, 1920, 1080) << QRect(QPoint(10, 20), main) << QPoint(624, 20);
    QTest::newRow("main window on the right: to its left")
        << QRect(0, 0, 1920, 1080) << QRect(QPoint(1300, 20), main) << QPoint(650, 20);
    QTest::newRow("1024 wide: over it")
        << QRect(0, 0, 1024, 768) << QRect(QPoint(0, 0), main) << QPoint(0, 0);
    QTest::newRow("1024 wide, main window moved right: over it, inside the screen")
        << QRect(0, 0, 1024, 768) << QRect(QPoint(400, 100), main) << QPoint(382, 100);
    QTest::newRow("main window low: moved up into the screen")
        << QRect(0, 0, 1920, 1080) << QRect(QPoint(10, 900), main) << QPoint(624, 648);
    QTest::newRow("a panel at the top, a second screen on the right")
        << QRect(1920, 32, 1280, 992) << QRect(QPoint(1920, 0), main) << QPoint(2534, 32);
    QTest::newRow("screen smaller than the window: its top left corner shown")
        << QRect(0, 0, 600, 400) << QRect(QPoint(0, 0), QSize(604, 410)) << QPoint(0, 0);
}

// On a screen with room for both the trend window opens beside the main window, else over it,
// never beyond the screen's edge (its export buttons on the right).
void TrendWindowTest::placedBesideWhereItFitsElseOverTheWindow() {
    QFETCH(QRect, available);
    QFETCH(QRect, mainFrame);
    QFETCH(QPoint, expected);
    const QSize trendFrame(642, 432);
    QCOMPARE(trendWindowPosition(available, mainFrame, trendFrame, 8), expected);
}

// As the program shows it, on the offscreen screen the test runs on (several sizes, see
// tests/CMakeLists.txt): inside the screen, and beside the main window where there is room.
void TrendWindowTest::opensOnTheScreen() {
    TrendedWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.around.showBeside(*w.window);
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    const QRect available = w.window->screen()->availableGeometry();
    const QRect mainFrame = w.window->frameGeometry();
    const QRect trendFrame = w.trend.frameGeometry();
    QString where;
    QDebug(&where) << "trend" << trendFrame << "on" << available;
    QVERIFY2(available.contains(trendFrame), qPrintable(where));
    if (mainFrame.right() + 8 + trendFrame.width() <= available.right())
        QVERIFY2(trendFrame.left() > mainFrame.right(), qPrintable(where));
}

// The program's event loop: it ends when the main window closes, not when the trend window does.
void TrendWindowTest::closingItLeavesTheWindowClosingTheWindowEndsTheProgram() {
    TrendedWindow w;
    w.window->show();
    w.around.showBeside(*w.window);
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    const auto runClosing = [](QWidget &closed) {
        QTimer::singleShot(0, &closed, &QWidget::close);
        QTimer::singleShot(500, qApp, [] { QCoreApplication::exit(7); });
        return QCoreApplication::exec();
    };
    QCOMPARE(runClosing(w.trend), 7); // still running
    QVERIFY(w.window->isVisible());
    w.trend.show();
    QCOMPARE(runClosing(*w.window), 0); // ended by the close
}

void TrendWindowTest::axisTitlesApartBeforeTheFirstReading() {
    TrendedWindow w;
    w.trend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    const auto axes = w.trend.chart()->axes();
    QCOMPARE(axes.size(), 2);
    const QRectF time = drawnText(w.trend, axes[0]->titleText());
    const QRectF ppm = drawnText(w.trend, axes[1]->titleText());
    QVERIFY(!time.isEmpty() && !ppm.isEmpty() && !time.intersects(ppm));
}

// An hour of readings: the chart is drawn again only every few seconds, the figures every second.
// When a new reading shows as the current one, the highest of the span has seen it too.
void TrendWindowTest::figuresShownTogetherComeFromTheSameReadings() {
    TrendedWindow w;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - qint64(3600) * 1000;
    for (qint64 s = 0; s < 3600; s += 10)
        w.trend.add(reading(start + s * 1000, 440 + int(s / 10 % 20)));
    w.trend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    w.trend.redraw();
    QVERIFY(w.trend.summaryText().contains(QStringLiteral("最高 459")));
    w.trend.add(reading(start + qint64(3600) * 1000, 469));
    QTRY_VERIFY(w.trend.summaryText().contains(QStringLiteral("当前 469 ppm")));
    QVERIFY2(w.trend.summaryText().contains(QStringLiteral("最高 469　平均 449.6 ppm　读数 361")),
             qPrintable(w.trend.summaryText()));
}

void TrendWindowTest::speaksEnglishWithTheTranslation() {
    QVERIFY(translation::install(QStringLiteral("en"), {QStringLiteral(GX7140R_TRANSLATIONS_DIR)}));
    TrendedWindow w;
    w.measure(w.hex(kReply450));
    w.trend.redraw();
    QStringList texts{w.trend.windowTitle(), w.trend.summaryText()};
    texts << w.trend.reportLines();
    for (const QAbstractSeries *series : w.trend.chart()->series())
        texts << series->name();
    for (const QAbstractAxis *axis : w.trend.chart()->axes())
        texts << axis->titleText();
    for (const QLabel *label : w.trend.findChildren<QLabel *>())
        texts << label->text();
    for (const QPushButton *button : w.trend.findChildren<QPushButton *>())
        texts << button->text();
    for (int i = 0; i < w.trend.spanList()->count(); ++i)
        texts << w.trend.spanList()->itemText(i);
    for (const QString &text : texts)
        QVERIFY2(!text.isEmpty() && !hasChinese(text), qPrintable(text));
}

// The export's file dialog is Qt's own: its buttons and captions in Chinese, as the window.
void TrendWindowTest::fileDialogsSpeakChinese() {
    QVERIFY2(translation::installQtChinese(), "qtbase_zh_CN.qm (qt6-translations-l10n) missing");
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    for (const QAbstractButton *button : dialog.findChild<QDialogButtonBox *>()->buttons())
        QVERIFY2(hasChinese(button->text()), qPrintable(button->text()));
}

QTEST_MAIN(TrendWindowTest)
#include "trend_window_test.moc"
