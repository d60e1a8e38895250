#include "trend_model.h"

#include "core/module_protocol.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace trend {

namespace {

constexpr auto kConcentrationRegister = std::size_t(modbus::kConcentrationRegister);

// The entries of a time-ordered container from fromMs to toMs inclusive.
template <typename Container, typename TimeOf>
auto entriesIn(const Container &entries, qint64 fromMs, qint64 toMs, TimeOf timeOf) {
    const auto first = std::partition_point(entries.begin(), entries.end(),
                                            [&](const auto &e) { return timeOf(e) < fromMs; });
    const auto last = std::partition_point(first, entries.end(),
                                           [&](const auto &e) { return timeOf(e) <= toMs; });
    return std::pair{first, last};
}

} // namespace

TrendModel::TrendModel(Bounds bounds) : bounds_(bounds) {
    bounds_.keepMs = std::min<qint64>(bounds_.keepMs, std::numeric_limits<std::uint32_t>::max());
}

bool TrendModel::add(const modbus::ExchangeRecord &record) {
    if (record.event != modbus::ExchangeRecord::Event::Reply ||
        record.kind != modbus::RequestKind::Measurement)
        return false;
    const qint64 ms = record.time.toMSecsSinceEpoch();
    const auto &concentration = record.registers[kConcentrationRegister];
    if (record.status == modbus::ExchangeRecord::Status::Rejected)
        addRejection(ms);
    else if (record.status == modbus::ExchangeRecord::Status::Accepted && concentration)
        addReading(ms, *concentration);
    else
        return false;
    if (record.status == modbus::ExchangeRecord::Status::Accepted && !record.reply.isEmpty())
        station_ = std::uint8_t(record.reply[0]);
    return true;
}

void TrendModel::addReading(qint64 ms, std::uint16_t ppm) {
    readings_.push_back({std::uint32_t(advanceTo(ms)), ppm});
    dropOld();
}

void TrendModel::addRejection(qint64 ms) {
    rejections_.push_back(std::uint32_t(advanceTo(ms)));
    dropOld();
}

qint64 TrendModel::advanceTo(qint64 ms) {
    if (!startMs_)
        startMs_ = newestMs_ = ms;
    newestMs_ = std::max(newestMs_, ms);
    return newestMs_;
}

void TrendModel::dropOld() {
    const qint64 oldestKept = newestMs_ - bounds_.keepMs;
    while (!readings_.empty() &&
           (readings_.size() > bounds_.maxCount || timeOf(readings_.front().stamp) < oldestKept))
        readings_.pop_front();
    while (!rejections_.empty() &&
           (rejections_.size() > bounds_.maxCount || timeOf(rejections_.front()) < oldestKept))
        rejections_.pop_front();
}

qint64 TrendModel::timeOf(std::uint32_t stamp) const {
    return newestMs_ - qint64(std::uint32_t(std::uint32_t(newestMs_) - stamp));
}

qint64 TrendModel::oldestMs() const {
    qint64 oldest = newestMs_;
    if (!readings_.empty())
        oldest = std::min(oldest, timeOf(readings_.front().stamp));
    if (!rejections_.empty())
        oldest = std::min(oldest, timeOf(rejections_.front()));
    return oldest;
}

std::optional<std::uint16_t> TrendModel::lastReading() const {
    if (readings_.empty())
        return std::nullopt;
    return readings_.back().ppm;
}

Summary TrendModel::summary(qint64 fromMs, qint64 toMs) const {
    Summary summary;
    const auto [first, last] =
        entriesIn(readings_, fromMs, toMs, [this](const Sample &s) { return timeOf(s.stamp); });
    std::uint64_t sum = 0;
    summary.min = std::numeric_limits<std::uint16_t>::max();
    for (auto it = first; it != last; ++it) {
        summary.min = std::min(summary.min, it->ppm);
        summary.max = std::max(summary.max, it->ppm);
        sum += it->ppm;
    }
    summary.readings = std::size_t(std::distance(first, last));
    if (summary.readings == 0)
        summary.min = 0;
    else
        summary.mean = double(sum) / double(summary.readings);
    const auto [firstMark, lastMark] =
        entriesIn(rejections_, fromMs, toMs, [this](std::uint32_t s) { return timeOf(s); });
    summary.rejections = std::size_t(std::distance(firstMark, lastMark));
    return summary;
}

Drawing TrendModel::drawing(qint64 fromMs, qint64 toMs, int columns) const {
    Drawing drawing;
    columns = std::max(columns, 1);
    const qint64 span = std::max<qint64>(toMs - fromMs + 1, 1);
    const auto columnOf = [&](qint64 ms) { return (ms - fromMs) * columns / span; };

    const auto [first, last] =
        entriesIn(readings_, fromMs, toMs, [this](const Sample &s) { return timeOf(s.stamp); });
    const bool fewReadings = std::distance(first, last) <= 2 * qint64(columns);
    qint64 column = -1;
    Reading low, high;
    const auto drawColumn = [&] {
        if (column < 0)
            return;
        const auto [earlier, later] =
            std::minmax(low, high, [](auto &a, auto &b) { return a.ms < b.ms; });
        drawing.line.push_back(earlier);
        if (!(later == earlier))
            drawing.line.push_back(later);
    };
    for (auto it = first; it != last; ++it) {
        const Reading reading{timeOf(it->stamp), it->ppm};
        if (fewReadings) {
            drawing.line.push_back(reading);
        } else if (columnOf(reading.ms) != column) {
            drawColumn();
            column = columnOf(reading.ms);
            low = high = reading;
        } else {
            if (reading.ppm < low.ppm)
                low = reading;
            if (reading.ppm > high.ppm)
                high = reading;
        }
    }
    drawColumn();

    const auto [firstMark, lastMark] =
        entriesIn(rejections_, fromMs, toMs, [this](std::uint32_t s) { return timeOf(s); });
    qint64 markColumn = -1;
    for (auto it = firstMark; it != lastMark; ++it) {
        const qint64 ms = timeOf(*it);
        if (columnOf(ms) != markColumn)
            drawing.marks.push_back(ms);
        markColumn = columnOf(ms);
    }
    return drawing;
}

std::size_t TrendModel::memoryBytes() const {
    return readings_.size() * sizeof(Sample) + rejections_.size() * sizeof(std::uint32_t);
}

} // namespace trend
