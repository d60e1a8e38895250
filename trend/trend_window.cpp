#include "trend_window.h"

#include "trend_texts.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QScreen>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace trend_texts;

namespace {

// A tick step of 1, 2 or 5 times a power of ten that cuts the span into about `ticks` parts.
double tickStep(double span, int ticks) {
    const double raw = std::max(span / ticks, 1e-9);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw)
            return factor * magnitude;
    }
    return 10.0 * magnitude;
}

constexpr int kReportTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

bool writeAtomically(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

TrendWindow::TrendWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(shown(kWindowTitle));
    // Closing this window closes only it; closing the main window ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    buildChart();
    summary_ = new QLabel(shown(kNoReadings));
    summary_->setTextFormat(Qt::PlainText);
    // A new text must not lay the window out again: the chart beside it would be redrawn whole.
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(summary_);
    layout->addWidget(buildControls());
    resize(kInitialSize);
    redrawTimer_.setInterval(kRedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &TrendWindow::showChanges);
}

void TrendWindow::buildChart() {
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    line_ = new QLineSeries(chart_);
    line_->setName(shown(kConcentrationSeries));
    QPen linePen(kLineColour, kLineWidth);
    linePen.setCosmetic(true);
    line_->setPen(linePen);
    marks_ = new QScatterSeries(chart_);
    marks_->setName(shown(kRejectedSeries));
    marks_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    marks_->setMarkerSize(kMarkSize);
    marks_->setColor(kRejectedMarkColour);
    marks_->setBorderColor(kRejectedMarkColour);
    chart_->addSeries(line_);
    chart_->addSeries(marks_);
    timeAxis_ = new QValueAxis;
    timeAxis_->setTitleText(shown(kSecondsAxis));
    timeAxis_->setLabelFormat(QStringLiteral("%g"));
    timeAxis_->setTickType(QValueAxis::TicksDynamic);
    timeAxis_->setTickAnchor(0);
    ppmAxis_ = new QValueAxis;
    ppmAxis_->setTitleText(shown(kConcentrationAxis));
    ppmAxis_->setLabelFormat(QStringLiteral("%g"));
    ppmAxis_->setTickType(QValueAxis::TicksDynamic);
    ppmAxis_->setTickAnchor(0);
    // Ranges and steps from the start: an axis without them has no labels, and the chart then
    // lays both titles over each other in its corner until the first reading.
    drawTimeAxis(0, 0, kShortestTimeAxisMs / 1000, false);
    const double ppmStep = tickStep(kInitialPpmTop, kAxisTicks);
    ppmAxis_->setTickInterval(ppmStep);
    ppmAxis_->setRange(0, kInitialPpmTop);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(ppmAxis_, Qt::AlignLeft);
    for (QAbstractSeries *series : chart_->series()) {
        series->attachAxis(timeAxis_);
        series->attachAxis(ppmAxis_);
    }
    view_ = new QChartView(chart_);
    view_->setRenderHint(QPainter::Antialiasing);
}

QWidget *TrendWindow::buildControls() {
    auto *controls = new QWidget;
    auto *row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    spanList_ = new QComboBox;
    for (const Span &span : kSpans)
        spanList_->addItem(shown(QString::fromUtf8(span.caption)));
    auto *spanCaption = new QLabel(shown(kSpanCaption));
    spanCaption->setBuddy(spanList_);
    connect(spanList_, &QComboBox::currentIndexChanged, this, &TrendWindow::redraw);
    auto *png = new QPushButton(shown(kExportPng));
    connect(png, &QPushButton::clicked, this, [this] {
        chooseFileAndExport(QStringLiteral("png"), shown(kPngFiles), &TrendWindow::exportPng);
    });
    auto *svg = new QPushButton(shown(kExportSvg));
    connect(svg, &QPushButton::clicked, this, [this] {
        chooseFileAndExport(QStringLiteral("svg"), shown(kSvgFiles), &TrendWindow::exportSvg);
    });
    row->addWidget(spanCaption);
    row->addWidget(spanList_);
    row->addStretch(1);
    row->addWidget(png);
    row->addWidget(svg);
    return controls;
}

void TrendWindow::add(const modbus::ExchangeRecord &record) {
    if (model_.add(record))
        changed_ = true;
}

QPoint trendWindowPosition(const QRect &available, const QRect &mainFrame, const QSize &trendFrame,
                           int gap) {
    const int rightOf = mainFrame.right() + 1 + gap;
    const int leftOf = mainFrame.left() - gap - trendFrame.width();
    int x = mainFrame.left();
    if (rightOf + trendFrame.width() <= available.right() + 1)
        x = rightOf;
    else if (leftOf >= available.left())
        x = leftOf;
    const auto inside = [](int at, int length, int first, int areaLength) {
        return std::max(first, std::min(at, first + areaLength - length));
    };
    return {inside(x, trendFrame.width(), available.left(), available.width()),
            inside(mainFrame.top(), trendFrame.height(), available.top(), available.height())};
}

void TrendWindow::placeBeside(const QWidget &window) {
    // Not shown yet, this window has no frame: it will get one as wide as the main window's.
    const QSize frame = size() + window.frameGeometry().size() - window.size();
    const QRect available = window.screen() ? window.screen()->availableGeometry() : QRect();
    move(available.isEmpty()
             ? window.frameGeometry().topRight() + QPoint(kGapToMainWindow, 0)
             : trendWindowPosition(available, window.frameGeometry(), frame, kGapToMainWindow));
}

// The last reading every second; the chart and the span's figures when a pixel column's worth of
// time has passed, at least every kSlowestChartMs: a whole day's span costs milliseconds to draw.
void TrendWindow::showChanges() {
    if (!changed_)
        return;
    if (chartDrawn_.isValid() && chartDrawn_.elapsed() < chartPeriodMs_)
        showSummary();
    else
        redraw();
}

void TrendWindow::redraw() {
    changed_ = false;
    chartDrawn_.start();
    if (model_.isEmpty()) {
        summary_->setText(shown(kNoReadings));
        return;
    }
    const auto [fromMs, toMs] = spanShown();
    drawSpan(fromMs, toMs);
}

std::pair<qint64, qint64> TrendWindow::spanShown() const {
    const qint64 toMs = model_.newestMs();
    const qint64 spanMs = kSpans[std::size_t(std::max(spanList_->currentIndex(), 0))].ms;
    return {spanMs > 0 ? std::max(model_.oldestMs(), toMs - spanMs) : model_.oldestMs(), toMs};
}

void TrendWindow::drawSpan(qint64 fromMs, qint64 toMs) {
    const bool minutes = toMs - fromMs > kSecondsAxisUpToMs;
    const double unitMs = minutes ? 60000.0 : 1000.0;
    const auto axisValue = [&](qint64 ms) { return double(ms - model_.startMs()) / unitMs; };
    const int columns = std::max(1, int(chart_->plotArea().width()));
    chartPeriodMs_ = std::clamp((toMs - fromMs) / columns, qint64(kRedrawMs), kSlowestChartMs);
    const trend::Drawing drawing = model_.drawing(fromMs, toMs, columns);
    const trend::Summary summary = model_.summary(fromMs, toMs);

    drawTimeAxis(axisValue(fromMs), axisValue(toMs), kShortestTimeAxisMs / unitMs, minutes);
    drawConcentrationAxis(summary);

    QList<QPointF> points;
    points.reserve(qsizetype(drawing.line.size()));
    for (const trend::Reading &reading : drawing.line)
        points.append({axisValue(reading.ms), double(reading.ppm)});
    line_->replace(points);
    QList<QPointF> marks;
    for (const qint64 ms : drawing.marks)
        marks.append({axisValue(ms), ppmAxis_->min()});
    marks_->replace(marks);
    showSummary();
}

// New axis labels cost more than the line itself: the axes move in whole tick steps, and only when
// the span outgrows them.
void TrendWindow::drawTimeAxis(double from, double to, double shortest, bool minutes) {
    const QString title = shown(minutes ? kMinutesAxis : kSecondsAxis);
    if (timeAxis_->titleText() != title)
        timeAxis_->setTitleText(title);
    const double step = tickStep(std::max(to - from, shortest), kAxisTicks);
    const double start = std::floor(from / step) * step;
    const double end =
        std::max(std::ceil(to / step) * step, start + std::ceil(shortest / step) * step);
    if (timeAxis_->min() != start || timeAxis_->max() != end) {
        timeAxis_->setTickInterval(step);
        timeAxis_->setRange(start, end);
    }
}

void TrendWindow::drawConcentrationAxis(const trend::Summary &summary) {
    if (summary.readings == 0)
        return; // only marks: the axis stays where it was
    const double margin =
        std::max(double(kMinimumPpmMargin), (summary.max - summary.min) * kPpmMarginShare);
    const double low = std::max(0.0, summary.min - margin);
    const double high = summary.max + margin;
    if (low >= ppmAxis_->min() && high <= ppmAxis_->max() &&
        high - low > (ppmAxis_->max() - ppmAxis_->min()) * kPpmAxisLeastFilled)
        return; // still fits, and still fills enough of the axis
    const double step = tickStep(high - low, kAxisTicks);
    ppmAxis_->setTickInterval(step);
    ppmAxis_->setRange(std::floor(low / step) * step, std::ceil(high / step) * step);
}

// The last reading and the span's figures, all of the same readings: the span ending at the last
// one, whether or not the chart has been drawn up to it yet.
void TrendWindow::showSummary() {
    summary_->setText(figuresText());
}

QString TrendWindow::figuresText() const {
    const auto last = model_.lastReading();
    if (!last)
        return shown(kNoReadings);
    const auto [fromMs, toMs] = spanShown();
    const trend::Summary summary = model_.summary(fromMs, toMs);
    const auto rangeValue = [&](double value, int decimals = 0) {
        return summary.readings ? QString::number(value, 'f', decimals) : QStringLiteral("-");
    };
    return shown(kSummary)
        .arg(*last)
        .arg(rangeValue(summary.min), rangeValue(summary.max),
             rangeValue(summary.mean, kMeanDecimals))
        .arg(summary.readings)
        .arg(summary.rejections);
}

QStringList TrendWindow::reportLines() const {
    const QString none = QStringLiteral("-");
    const QString start =
        model_.isEmpty()
            ? none
            : QDateTime::fromMSecsSinceEpoch(model_.startMs()).toString(kReportTimeFormat);
    const auto station = model_.station();
    const QString port = portDescription_ ? portDescription_() : QString();
    return {
        windowTitle(),
        shown(kReportRun)
            .arg(start, port.isEmpty() ? none : port, station ? QString::number(*station) : none),
        shown(kReportSpan).arg(spanList_->currentText(), figuresText())};
}

void TrendWindow::setPortDescription(std::function<QString()> describe) {
    portDescription_ = std::move(describe);
}

// The report's lines above the chart as it is shown, on a white page of `page` size.
void TrendWindow::paintReport(QPainter &painter, const QSize &page) const {
    painter.fillRect(QRect(QPoint(), page), Qt::white);
    const int height = reportHeight(page.width());
    const QRect text(kReportMargin, kReportMargin, page.width() - 2 * kReportMargin,
                     height - 2 * kReportMargin);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(text, kReportTextFlags, reportLines().join(u'\n'));
    view_->render(&painter, QRectF(0, height, page.width(), page.height() - height),
                  view_->viewport()->rect());
}

// The report's lines wrapped to the page's width, with a margin around them.
int TrendWindow::reportHeight(int width) const {
    const QRect text(0, 0, width - 2 * kReportMargin, QWIDGETSIZE_MAX);
    return fontMetrics().boundingRect(text, kReportTextFlags, reportLines().join(u'\n')).height() +
           2 * kReportMargin;
}

QSize TrendWindow::reportSize() const {
    const QSize chart = view_->viewport()->size();
    return chart + QSize(0, reportHeight(chart.width()));
}

QString TrendWindow::summaryText() const {
    return summary_->text();
}

bool TrendWindow::exportPng(const QString &path) const {
    const qreal ratio = devicePixelRatioF();
    QImage picture(reportSize() * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    paintReport(painter, reportSize());
    painter.end();
    // The same lines as text in the file, for whatever files the picture away.
    picture.setText(QStringLiteral("Title"), windowTitle());
    picture.setText(QStringLiteral("Description"), reportLines().join(u'\n'));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG") &&
           writeAtomically(path, bytes);
}

bool TrendWindow::exportSvg(const QString &path) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(reportSize());
    svg.setViewBox(QRect(QPoint(), reportSize()));
    svg.setTitle(windowTitle());
    svg.setDescription(reportLines().join(u'\n'));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    paintReport(painter, reportSize());
    painter.end();
    return writeAtomically(path, bytes);
}

void TrendWindow::chooseFileAndExport(const QString &suffix, const QString &filesCaption,
                                      bool (TrendWindow::*exporter)(const QString &) const) {
    const QString suggested =
        kExportFileName.arg(QDateTime::currentDateTime().toString(kExportTimeFormat), suffix);
    QFileDialog dialog(this, windowTitle(), suggested,
                       QStringLiteral("%1 (*.%2)").arg(filesCaption, suffix));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    redraw(); // the chart up to the last reading, as the figures above it
    if (!(this->*exporter)(path))
        QMessageBox::warning(this, windowTitle(), shown(kExportFailed).arg(path));
}

void TrendWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    redraw();
    redrawTimer_.start();
}

void TrendWindow::hideEvent(QHideEvent *event) {
    redrawTimer_.stop();
    QWidget::hideEvent(event);
}

void TrendWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    changed_ = true; // the columns follow the width: drawn again at the next redraw
}
