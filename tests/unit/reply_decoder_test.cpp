#include "modbus/module_protocol.h"
#include "modbus/reply_decoder.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

struct MeasurementCase {
    const char *name;
    const char *block;
    bool rejected;
    std::vector<std::uint16_t> values;
};

class MeasurementReply : public ::testing::TestWithParam<MeasurementCase> {};

TEST_P(MeasurementReply, DecodesOnlyWholeValidFrames) {
    const MeasurementCase &c = GetParam();
    const DecodedReply reply = decodeReply(hex(c.block), kMeasurementRead);
    EXPECT_EQ(reply.rejected, c.rejected);
    EXPECT_EQ(reply.values, c.values);
    EXPECT_FALSE(reply.address.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, MeasurementReply,
    ::testing::Values(
        MeasurementCase{"NineByteExample", "01030401F4FFFFBB8D", false, {500, 0}},
        // ten registers fill the eight boxes; positions 8 and 9 have no box
        MeasurementCase{"FullReply",
                        "01031401C200000001000007D003E8000007D000070008697E",
                        false,
                        {450, 0, 1, 0, 2000, 1000, 0, 2000}},
        MeasurementCase{"OddCountDropsLastByte", "01030301F4AAD2F1", false, {500}},
        MeasurementCase{"ByteCountZero", "01030020F0", false, {}},
        MeasurementCase{"ByteCountOne", "010301AA7037", false, {}},
        MeasurementCase{"FFFEFFFFAndZero", "010306FFFEFFFF00001C8A", false, {65534, 0, 0}},
        MeasurementCase{"TrailingJunkIgnored", "01030401F4FFFFBB8D55AA", false, {500, 0}},
        MeasurementCase{"BadCrc", "01030401F4FFFFBB8E", true, {}},
        MeasurementCase{"CorruptedData", "01030401F5FFFFBB8D", true, {}},
        MeasurementCase{"Truncated", "01030401F4FF", true, {}},
        MeasurementCase{"ExceptionReply", "01830440F3", true, {}},
        MeasurementCase{"TooShort", "0103", true, {}}, MeasurementCase{"Empty", "", true, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// The decoding rules without the validity check: whole pairs from byte 3, as many as byte 2 says.
TEST(MeasurementValues, StopsAtTheFirstIncompletePair) {
    EXPECT_EQ(measurementValues(hex("01030801F4")), (std::vector<std::uint16_t>{500}));
    EXPECT_EQ(measurementValues(hex("01030801F400")), (std::vector<std::uint16_t>{500}));
    EXPECT_EQ(measurementValues(hex("0103")), (std::vector<std::uint16_t>{}));
}

TEST(ConfigurationReply, TakesTheAddressByte) {
    struct Case {
        const char *block;
        int kind;
        std::optional<int> address;
    };
    const Case cases[] = {
        {"02060B0000054BDE", kAddressChange, 5},             // the echoed new address, byte 5
        {"02060B000005", kAddressChange, 5},                 // six bytes are enough
        {"02060B0000", kAddressChange, {}},                  // byte 5 did not arrive
        {"07030201F43053", kAddressReadOrParameterWrite, 7}, // who answered, byte 0
        {"", kAddressReadOrParameterWrite, {}},
        {"02060B0000054BDE", kNoRequest, {}}, // nothing pending: nothing decoded
    };
    for (const Case &c : cases) {
        const DecodedReply reply = decodeReply(hex(c.block), c.kind);
        EXPECT_EQ(reply.address ? std::optional<int>(*reply.address) : std::nullopt, c.address)
            << c.block;
        EXPECT_TRUE(reply.values.empty());
        EXPECT_FALSE(reply.rejected);
    }
}

TEST(DecodeReply, AlwaysShowsTheWholeBlock) {
    EXPECT_EQ(decodeReply(hex("0A0B"), kNoRequest).hexText, QStringLiteral(" 0A 0B"));
    EXPECT_EQ(decodeReply(hex("01830440F3"), kMeasurementRead).hexText,
              QStringLiteral(" 01 83 04 40 F3"));
}

} // namespace
