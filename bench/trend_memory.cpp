// The trend model at its bound: 24 hours of readings at the window's fastest polling (50 ms),
// then what one redraw of the whole span asks of it (800 columns). Prints "key value" lines.
#include "core/trend_model.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

} // namespace

int main() {
    constexpr qint64 kIntervalMs = 50;
    constexpr qint64 kReadings = 24 * 3600 * 1000 / kIntervalMs;
    constexpr int kColumns = 800;
    const long before = residentKiB();
    trend::TrendModel model;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < kReadings + 1000; ++i) // past the bound: the oldest are dropped
        model.addReading(start + i * kIntervalMs, std::uint16_t(400 + i % 97));
    const double fillMs = double(clock.nsecsElapsed()) / 1e6;
    clock.start();
    const auto drawing = model.drawing(model.oldestMs(), model.newestMs(), kColumns);
    const auto summary = model.summary(model.oldestMs(), model.newestMs());
    const double redrawMs = double(clock.nsecsElapsed()) / 1e6;
    // The figures under the chart are computed anew every second the model changed.
    clock.start();
    const auto figures = model.summary(model.oldestMs(), model.newestMs());
    const double figuresMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("trend_readings %zu\ntrend_model_bytes %zu\ntrend_rss_growth_kib %ld\n",
                model.readingCount(), model.memoryBytes(), residentKiB() - before);
    std::printf("trend_fill_ms %.1f\ntrend_whole_span_ms %.2f\ntrend_span_readings %zu\n"
                "trend_drawn_points %zu\ntrend_whole_span_figures_ms %.2f (%zu readings)\n",
                fillMs, redrawMs, summary.readings, drawing.line.size(), figuresMs,
                figures.readings);
    return 0;
}
