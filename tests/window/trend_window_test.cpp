// The trend window (--trend) beside the real window with a fake serial control: what it draws
// from the window's exchange, its export, how it closes, its texts in English.
#include "app/around_window.h"
#include "app/translation.h"
#include "chinese_text.h"
#include "trend/trend_window.h"
#include "window_fixture.h"

#include <QChart>
#include <QComboBox>
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

} // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
private slots:
    void drawsAcceptedReadingsAndMarksRejectedReplies();
    void exportsTheChart_data();
    void exportsTheChart();
    void closingItLeavesTheWindowClosingTheWindowEndsTheProgram();
    void speaksEnglishWithTheTranslation();
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
    QVERIFY(svg ? w.trend.exportSvg(path) : w.trend.exportPng(path));
    if (svg) {
        QSvgRenderer picture(path);
        QVERIFY(picture.isValid());
        QVERIFY(picture.defaultSize().width() > 300);
    } else {
        const QImage picture(path);
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() > 300);
    }
    QVERIFY(!w.trend.exportPng(folder.filePath("missing/trend.png")));
}

// The program's event loop: it ends when the main window closes, not when the trend window does.
void TrendWindowTest::closingItLeavesTheWindowClosingTheWindowEndsTheProgram() {
    TrendedWindow w;
    w.window->show();
    w.around.showBeside(*w.window);
    QVERIFY(QTest::qWaitForWindowExposed(&w.trend));
    QVERIFY(w.trend.x() >= w.window->x() + w.window->width()); // beside, to the right
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

void TrendWindowTest::speaksEnglishWithTheTranslation() {
    QVERIFY(translation::install(QStringLiteral("en"), {QStringLiteral(GX7140R_TRANSLATIONS_DIR)}));
    TrendedWindow w;
    w.measure(w.hex(kReply450));
    w.trend.redraw();
    QStringList texts{w.trend.windowTitle(), w.trend.summaryText()};
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

QTEST_MAIN(TrendWindowTest)
#include "trend_window_test.moc"
