#pragma once

#include "core/exchange_record.h"

#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// The gas concentration over the run, for the trend window: accepted measurement replies as
// readings, rejected ones as marks on the time axis, the newest 24 hours at most. Pure: no
// widgets; times are milliseconds since the epoch.
namespace trend {

struct Reading {
    qint64 ms = 0;
    std::uint16_t ppm = 0;
    bool operator==(const Reading &) const = default;
};

// What is kept: the newest 24 hours, and never more readings (or marks) than 24 hours of the
// window's fastest polling (50 ms) bring.
struct Bounds {
    qint64 keepMs = qint64(24) * 3600 * 1000;
    std::size_t maxCount = std::size_t(24) * 3600 * 1000 / 50;
};

// Readings and rejected replies of a span.
struct Summary {
    std::size_t readings = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    double mean = 0;
    std::size_t rejections = 0;
};

// What the chart draws of a span split into columns (one per pixel): every reading when there are
// at most two a column, else each column's lowest and highest reading in the order they came, so
// the line keeps its peaks; one mark per column that holds rejected replies.
struct Drawing {
    std::vector<Reading> line;
    std::vector<qint64> marks;
};

class TrendModel {
public:
    explicit TrendModel(Bounds bounds = {});

    // Takes what concerns the concentration: an accepted measurement reply holding the
    // concentration register as a reading, a rejected measurement reply as a mark; true when it
    // took the record.
    bool add(const modbus::ExchangeRecord &record);
    void addReading(qint64 ms, std::uint16_t ppm);
    void addRejection(qint64 ms);

    bool isEmpty() const { return !startMs_; }
    // The first reading or mark of the run: zero on the time axis.
    qint64 startMs() const { return startMs_.value_or(0); }
    qint64 oldestMs() const;
    qint64 newestMs() const { return newestMs_; }
    std::optional<std::uint16_t> lastReading() const;
    std::size_t readingCount() const { return readings_.size(); }
    std::size_t rejectionCount() const { return rejections_.size(); }
    // The slave address of the module the last reading came from (its reply's first byte).
    std::optional<std::uint8_t> station() const { return station_; }

    // Both spans run from fromMs to toMs inclusive.
    Summary summary(qint64 fromMs, qint64 toMs) const;
    Drawing drawing(qint64 fromMs, qint64 toMs, int columns) const;

    // The bytes the kept readings and marks take.
    std::size_t memoryBytes() const;

private:
    // A time is kept as its lowest 32 bits: every kept time lies within 24 hours (< 2^32 ms) of
    // the newest, so the whole time is the newest less the unsigned difference.
    struct Sample {
        std::uint32_t stamp;
        std::uint16_t ppm;
    };
    qint64 timeOf(std::uint32_t stamp) const;
    // The time a new entry is kept at: never before the newest (a clock set back).
    qint64 advanceTo(qint64 ms);
    void dropOld();

    Bounds bounds_;
    std::optional<qint64> startMs_;
    qint64 newestMs_ = 0;
    std::optional<std::uint8_t> station_;
    std::deque<Sample> readings_;
    std::deque<std::uint32_t> rejections_;
};

} // namespace trend
