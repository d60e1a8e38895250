#include "core/line_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(LineSettings, ParsesTheSettingsText) {
    struct Case {
        const char *text;
        std::optional<LineSettings> settings;
    };
    const Case cases[] = {
        {"9600,N,8,1", LineSettings{9600, 'N', 8, 1}},
        {"19200,N,8,1", LineSettings{19200, 'N', 8, 1}},
        {"2400,e,7,2", LineSettings{2400, 'E', 7, 2}},
        {"4800,O,8,1.5", LineSettings{4800, 'O', 8, 3}},
        {"", std::nullopt},
        {"9600", std::nullopt},
        {"9600,N,8", std::nullopt},
        {"9600,N,8,1,", std::nullopt},
        {"0,N,8,1", std::nullopt},
        {"-9600,N,8,1", std::nullopt},
        {" 9600,N,8,1", std::nullopt},
        {"9600,X,8,1", std::nullopt},
        {"9600,N,9,1", std::nullopt},
        {"9600,N,4,1", std::nullopt},
        {"9600,N,8,3", std::nullopt},
        {"99999999999,N,8,1", std::nullopt},
        {"9600,NN,8,1", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseLineSettings(QString::fromLatin1(c.text)), c.settings) << c.text;
}

TEST(LineSettings, TheToolsOnlyFormat) {
    EXPECT_EQ(settingsText(9600), QStringLiteral("9600,N,8,1"));
    EXPECT_EQ(settingsText(19200), QStringLiteral("19200,N,8,1"));
    EXPECT_TRUE(parseLineSettings(settingsText(2400)).has_value());
}

// The README's table of poll intervals: 10 bits a byte, rounded up to whole microseconds.
TEST(LineSettings, WireTimes) {
    struct Case {
        int bytes;
        int baud;
        std::int64_t microseconds;
    };
    const Case cases[] = {{33, 2400, 137500}, {15, 2400, 62500},  {33, 9600, 34375},
                          {15, 9600, 15625},  {33, 19200, 17188}, {0, 9600, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(wireTimeMicroseconds(c.bytes, c.baud), c.microseconds)
            << c.bytes << " " << c.baud;
}

// The simulator's pacing and frame gap by the same rule, in nanoseconds rounded up.
TEST(LineSettings, ByteTimeAndFrameGap) {
    using std::chrono::nanoseconds;
    EXPECT_EQ(modbus::wireTime(1, 9600), nanoseconds(1'041'667));
    EXPECT_EQ(modbus::wireTime(8, 19200), nanoseconds(4'166'667));
    EXPECT_EQ(modbus::frameGap(9600), nanoseconds(3'645'834));
    EXPECT_EQ(modbus::frameGap(2400), nanoseconds(14'583'334));
}

} // namespace
