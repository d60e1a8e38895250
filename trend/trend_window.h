#pragma once

#include "core/trend_model.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPainter;
class QScatterSeries;
class QValueAxis;

// Where the trend window's frame goes, given the screen's available area, the main window's frame
// and the trend window's frame size: beside the main window (`gap` apart), to its right where it
// fits, else to its left where it fits, else over it; always inside the available area (its top
// left corner in it when the window is larger than the area).
QPoint trendWindowPosition(const QRect &available, const QRect &mainFrame, const QSize &trendFrame,
                           int gap);

// The trend window (--trend): the gas concentration of the accepted measurement replies over the
// time of the run, rejected replies marked on the time axis, the last reading and the lowest,
// highest and mean reading of the span shown, and the chart exported as PNG or SVG. It draws from
// its model at most once a second, never on each reply; what it shows comes from trend_texts.h.
class TrendWindow final : public QWidget {
    Q_OBJECT
public:
    explicit TrendWindow(QWidget *parent = nullptr);

    void add(const modbus::ExchangeRecord &record);
    const trend::TrendModel &model() const { return model_; }

    // Beside the window where the screen has room for it (see trendWindowPosition).
    void placeBeside(const QWidget &window);
    // Draws the model now, whether or not it changed.
    void redraw();
    QString summaryText() const;
    // What an exported picture says above the chart: the title; the start of the run (date and
    // time), the port and the module's address; the span and its figures.
    QStringList reportLines() const;
    // Where the port list's port leads, for the report ("COM1: /dev/ttyUSB0").
    void setPortDescription(std::function<QString()> describe);
    QChart *chart() const { return chart_; }
    QComboBox *spanList() const { return spanList_; }

    // The chart as it is shown; false when the file could not be written.
    bool exportPng(const QString &path) const;
    bool exportSvg(const QString &path) const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildChart();
    QWidget *buildControls();
    void showChanges();
    void drawSpan(qint64 fromMs, qint64 toMs);
    void drawTimeAxis(double from, double to, double shortest, bool minutes);
    void drawConcentrationAxis(const trend::Summary &summary);
    void showSummary();
    QString figuresText() const;
    // From and to, in ms: the span chosen in the list, ending at the newest reading.
    std::pair<qint64, qint64> spanShown() const;
    void paintReport(QPainter &painter, const QSize &page) const;
    int reportHeight(int width) const;
    QSize reportSize() const;
    void chooseFileAndExport(const QString &suffix, const QString &filesCaption,
                             bool (TrendWindow::*exporter)(const QString &) const);

    trend::TrendModel model_;
    bool changed_ = false;
    QTimer redrawTimer_;
    QElapsedTimer chartDrawn_;
    qint64 chartPeriodMs_ = 0; // how often the chart is drawn again, from its span
    std::function<QString()> portDescription_;
    QChart *chart_ = nullptr;
    QChartView *view_ = nullptr;
    QLineSeries *line_ = nullptr;
    QScatterSeries *marks_ = nullptr;
    QValueAxis *timeAxis_ = nullptr;
    QValueAxis *ppmAxis_ = nullptr;
    QLabel *summary_ = nullptr;
    QComboBox *spanList_ = nullptr;
};
