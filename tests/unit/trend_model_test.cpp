#include "core/trend_model.h"

#include <gtest/gtest.h>

using namespace trend;

namespace {

const qint64 kStart = QDateTime(QDate(2026, 12, 7), QTime(9, 0)).toMSecsSinceEpoch();
constexpr qint64 kHour = 3600 * 1000;

using Status = modbus::ExchangeRecord::Status;
using modbus::RequestKind;

modbus::ExchangeRecord reply(RequestKind kind, Status status, std::optional<int> ppm) {
    modbus::ExchangeRecord record;
    record.time = QDateTime::fromMSecsSinceEpoch(kStart);
    record.event = modbus::ExchangeRecord::Event::Reply;
    record.kind = kind;
    record.status = status;
    if (ppm)
        record.registers = modbus::valuesByRegister(0, std::vector<int>{*ppm});
    return record;
}

TEST(TrendModel, PlotsAcceptedMeasurementsAndMarksRejectedOnes) {
    struct Case {
        const char *what;
        modbus::ExchangeRecord record;
        std::size_t readings, marks;
    };
    modbus::ExchangeRecord request = reply(RequestKind::Measurement, Status::Sent, {});
    request.event = modbus::ExchangeRecord::Event::Request;
    modbus::ExchangeRecord fromRegister4 = reply(RequestKind::Measurement, Status::Accepted, {});
    fromRegister4.registers = modbus::valuesByRegister(4, std::vector<int>{2000});
    const Case cases[] = {
        {"accepted measurement", reply(RequestKind::Measurement, Status::Accepted, 612), 1, 0},
        {"rejected measurement", reply(RequestKind::Measurement, Status::Rejected, {}), 0, 1},
        {"measurement without the concentration register", fromRegister4, 0, 0},
        {"the request", request, 0, 0},
        {"accepted address change", reply(RequestKind::AddressChange, Status::Accepted, {}), 0, 0},
        {"rejected address change", reply(RequestKind::AddressChange, Status::Rejected, {}), 0, 0},
        {"nothing pending", reply(RequestKind::None, Status::Undecoded, {}), 0, 0},
    };
    for (const Case &c : cases) {
        TrendModel model;
        EXPECT_EQ(model.add(c.record), c.readings + c.marks > 0) << c.what;
        EXPECT_EQ(model.readingCount(), c.readings) << c.what;
        EXPECT_EQ(model.rejectionCount(), c.marks) << c.what;
    }
    TrendModel model;
    model.add(reply(RequestKind::Measurement, Status::Accepted, 612));
    EXPECT_EQ(model.lastReading(), 612);
    EXPECT_EQ(model.startMs(), kStart);
}

TEST(TrendModel, KeepsTheNewest24HoursAndNoMoreThanItsBound) {
    TrendModel model;
    for (int hour = 0; hour <= 24; ++hour)
        model.addReading(kStart + hour * kHour, std::uint16_t(400 + hour));
    EXPECT_EQ(model.readingCount(), 25u); // exactly 24 hours: the first one stays
    model.addRejection(kStart + 24 * kHour + 1);
    EXPECT_EQ(model.readingCount(), 24u);
    EXPECT_EQ(model.oldestMs(), kStart + kHour);
    EXPECT_EQ(model.startMs(), kStart); // the axis still counts from the start of the run

    TrendModel bounded({kHour, 3});
    for (int i = 0; i < 5; ++i) {
        bounded.addReading(kStart + i, std::uint16_t(i));
        bounded.addRejection(kStart + i);
    }
    EXPECT_EQ(bounded.readingCount(), 3u);
    EXPECT_EQ(bounded.rejectionCount(), 3u);
    EXPECT_EQ(bounded.memoryBytes(), 3 * 8u + 3 * 4u);
}

TEST(TrendModel, SummaryOfASpan) {
    TrendModel model;
    const std::uint16_t ppm[] = {500, 410, 620, 450, 700};
    for (int i = 0; i < 5; ++i) {
        model.addReading(kStart + i * 1000, ppm[i]);
        if (i == 2)
            model.addRejection(kStart + 2500);
    }
    model.addRejection(kStart + 9000);
    struct Case {
        qint64 from, to;
        std::size_t readings;
        std::uint16_t min, max;
        double mean;
        std::size_t rejections;
    };
    const Case cases[] = {
        {0, 4000, 5, 410, 700, 536, 1}, // both ends inclusive
        {1000, 3000, 3, 410, 620, 493.333333, 1},
        {1001, 1999, 0, 0, 0, 0, 0},
        {4000, 9000, 1, 700, 700, 700, 1},
    };
    for (const Case &c : cases) {
        const Summary s = model.summary(kStart + c.from, kStart + c.to);
        EXPECT_EQ(s.readings, c.readings) << c.from;
        EXPECT_EQ(s.min, c.min) << c.from;
        EXPECT_EQ(s.max, c.max) << c.from;
        EXPECT_NEAR(s.mean, c.mean, 1e-5) << c.from;
        EXPECT_EQ(s.rejections, c.rejections) << c.from;
    }
}

TEST(TrendModel, DrawingKeepsEachColumnsPeaksInTheirOrder) {
    TrendModel model;
    // 4 columns of 10 readings each, every column with one low and one high reading
    for (int i = 0; i < 40; ++i) {
        const int column = i / 10, place = i % 10;
        const int ppm = place == 3 ? 300 + column : place == 7 ? 900 - column : 500;
        model.addReading(kStart + i * 100, std::uint16_t(column == 2 ? 1200 - ppm : ppm));
        if (i % 10 < 4)
            model.addRejection(kStart + i * 100 + 50);
    }
    const Drawing drawing = model.drawing(kStart, kStart + 3999, 4);
    const std::vector<Reading> expected = {
        {kStart + 300, 300},  {kStart + 700, 900},  {kStart + 1300, 301}, {kStart + 1700, 899},
        {kStart + 2300, 898}, {kStart + 2700, 302}, {kStart + 3300, 303}, {kStart + 3700, 897}};
    EXPECT_EQ(drawing.line, expected);
    const std::vector<qint64> marks = {kStart + 50, kStart + 1050, kStart + 2050, kStart + 3050};
    EXPECT_EQ(drawing.marks, marks);
    // up to two readings a column: every one as it is
    EXPECT_EQ(model.drawing(kStart, kStart + 3999, 20).line.size(), 40u);
}

// Times are kept as their lowest 32 bits: a run across a wrap of those bits keeps its times.
TEST(TrendModel, TimesAcrossTheWrapOfTheirLowBits) {
    const qint64 beforeWrap = (qint64(0x19C) << 32) - 1500;
    TrendModel model;
    for (int i = 0; i < 4; ++i)
        model.addReading(beforeWrap + i * 1000, std::uint16_t(i));
    model.addReading(beforeWrap + 1000, 9); // a clock set back: kept at the newest time
    const std::vector<Reading> expected = {{beforeWrap, 0},
                                           {beforeWrap + 1000, 1},
                                           {beforeWrap + 2000, 2},
                                           {beforeWrap + 3000, 3},
                                           {beforeWrap + 3000, 9}};
    EXPECT_EQ(model.drawing(beforeWrap, beforeWrap + 3000, 100).line, expected);
    EXPECT_EQ(model.oldestMs(), beforeWrap);
}

} // namespace
