#pragma once

#include "app/window_texts.h"

#include <QColor>
#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <array>

// Every text, number and colour of the trend window (--trend). The texts are Chinese like the main
// window's, marked for Qt Linguist (context "trend_texts") and looked up when shown, so --lang en
// shows them in English.
namespace trend_texts {

inline QString shown(const QString &text) {
    return QCoreApplication::translate("trend_texts", text.toUtf8().constData());
}

inline const QString kWindowTitle =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "气体浓度趋势"));
inline const QString kConcentrationSeries =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "气体浓度"));
inline const QString kRejectedSeries =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "无效应答"));
inline const QString kConcentrationAxis =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "浓度 (ppm)"));
inline const QString kSecondsAxis =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "时间 (秒，自开始)"));
inline const QString kMinutesAxis =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "时间 (分钟，自开始)"));
// Last reading, then lowest, highest and mean reading, readings and rejected replies of the span.
inline const QString kSummary = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "trend_texts", "当前 %1 ppm　　范围内：最低 %2　最高 %3　平均 %4 ppm　读数 %5　无效应答 %6"));
inline const QString kNoReadings = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "尚无读数"));
inline const QString kSpanCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "显示范围"));
inline const QString kExportPng = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "导出 PNG…"));
inline const QString kExportSvg = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "导出 SVG…"));
inline const QString kPngFiles = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "PNG 图片"));
inline const QString kSvgFiles = QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "SVG 图形"));
inline const QString kExportFailed =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "图表未能保存到 %1"));
// The lines an exported picture carries above the chart (the title first): the run's start, the
// port and the module's address; the span shown and its figures (kSummary).
inline const QString kReportRun =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "开始 %1　串口 %2　设备地址 %3"));
inline const QString kReportSpan =
    QString::fromUtf8(QT_TRANSLATE_NOOP("trend_texts", "显示范围 %1：%2"));
inline const QString kReportTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
inline constexpr int kReportMargin = 8;
// "gx7140r-trend-20261207-094105.png"
inline const QString kExportFileName = QStringLiteral("gx7140r-trend-%1.%2");
inline const QString kExportTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

// The span the chart shows, ending at the newest reading; 0 is everything kept.
struct Span {
    const char *caption;
    qint64 ms;
};
inline const std::array<Span, 4> kSpans{{
    {QT_TRANSLATE_NOOP("trend_texts", "全部（最多 24 小时）"), 0},
    {QT_TRANSLATE_NOOP("trend_texts", "最近 1 小时"), qint64(3600) * 1000},
    {QT_TRANSLATE_NOOP("trend_texts", "最近 10 分钟"), qint64(600) * 1000},
    {QT_TRANSLATE_NOOP("trend_texts", "最近 1 分钟"), qint64(60) * 1000},
}};

// The time axis counts seconds up to this span, minutes beyond.
inline constexpr qint64 kSecondsAxisUpToMs = 120 * 1000;
inline constexpr int kAxisTicks = 6;
inline constexpr double kShortestTimeAxisMs = 10 * 1000; // at the start of a run
inline constexpr int kMeanDecimals = 1;
// The concentration axis shows a tenth of the readings' range (at least 10 ppm) around them, and
// is fitted again when they fill less than a quarter of it.
inline constexpr int kMinimumPpmMargin = 10;
// Before the first reading: the module's usual range.
inline constexpr double kInitialPpmTop = 2000;
inline constexpr double kPpmMarginShare = 0.1;
inline constexpr double kPpmAxisLeastFilled = 0.25;
// Something changed: the last reading is shown within kRedrawMs, the chart redrawn within the time
// a pixel column spans, at least within kSlowestChartMs.
inline constexpr int kRedrawMs = 1000;
inline constexpr qint64 kSlowestChartMs = 5000;
inline const QSize kInitialSize{640, 410};
inline constexpr int kGapToMainWindow = 8;

inline const QColor kLineColour = QColor(0, 90, 170);
inline constexpr double kLineWidth = 1; // a cosmetic pen up to 1 px takes the fast stroker
inline const QColor kRejectedMarkColour = window_texts::kRejectedReplyColour;
inline constexpr double kMarkSize = 7;

} // namespace trend_texts
