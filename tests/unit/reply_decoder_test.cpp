#include "core/module_protocol.h"
#include "core/reply_decoder.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

const Request kMeasurement{RequestKind::Measurement, 1, 3, 0, 10};
// The window's pending kind alone, as after CmdType was set without a request built.
Request pendingKind(int cmdType) {
    return Request{requestKindOf(cmdType)};
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
    const DecodedReply reply = decodeReply(hex(c.block), kMeasurement);
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

// A configuration reply gives an address only from a whole frame of its kind whose CRC checks out.
TEST(ConfigurationReply, TakesTheAddressOnlyFromAWholeValidFrame) {
    struct Case {
        const char *block;
        int kind;
        std::optional<int> address; // empty: rejected
    };
    const Case cases[] = {
        {"02060B0000054BDE", kAddressChange, 5},                // the echoed new address, byte 5
        {"02060B0000054BDE77", kAddressChange, 5},              // a stray byte after the frame
        {"02060B0000054BDF", kAddressChange, {}},               // bad CRC
        {"02060B000005", kAddressChange, {}},                   // cut short
        {"01860443A3", kAddressChange, {}},                     // exception
        {"07030201F43053", kAddressChange, {}},                 // a read reply is no echo
        {"A1B2C3D4E5F6", kAddressChange, {}},                   // six bytes of noise
        {"07030201F43053", kAddressReadOrParameterWrite, 7},    // who answered, byte 0
        {"02060A0503E89A9E", kAddressReadOrParameterWrite, 2},  // the echo of a parameter write
        {"07030201F43054", kAddressReadOrParameterWrite, {}},   // bad CRC
        {"0703040001000200", kAddressReadOrParameterWrite, {}}, // not a one-register reply
        {"018304027331", kAddressReadOrParameterWrite, {}},     // exception
        {"07030201F4", kAddressReadOrParameterWrite, {}},       // cut short
        {"", kAddressReadOrParameterWrite, {}},
    };
    for (const Case &c : cases) {
        const DecodedReply reply = decodeReply(hex(c.block), pendingKind(c.kind));
        EXPECT_EQ(reply.address ? std::optional<int>(*reply.address) : std::nullopt, c.address)
            << c.block;
        EXPECT_EQ(reply.rejected, !c.address.has_value()) << c.block;
        EXPECT_TRUE(reply.values.empty());
    }
    // Nothing pending: nothing decoded, nothing rejected.
    const DecodedReply idle = decodeReply(hex("02060B0000054BDE"), Request{});
    EXPECT_FALSE(idle.address || idle.rejected);
}

TEST(DecodeReply, AlwaysShowsTheWholeBlock) {
    EXPECT_EQ(decodeReply(hex("0A0B"), Request{}).hexText, QStringLiteral(" 0A 0B"));
    EXPECT_EQ(decodeReply(hex("01830440F3"), kMeasurement).hexText,
              QStringLiteral(" 01 83 04 40 F3"));
}

} // namespace
