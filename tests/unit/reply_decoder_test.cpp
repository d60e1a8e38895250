#include "core/module_protocol.h"
#include "core/reply_decoder.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

struct MeasurementCase {
    const char *name;
    int registers; // asked for
    const char *block;
    bool rejected;
    std::vector<std::uint16_t> values;
};

class MeasurementReply : public ::testing::TestWithParam<MeasurementCase> {};

TEST_P(MeasurementReply, DecodesOnlyTheAnswerToTheRead) {
    const MeasurementCase &c = GetParam();
    const DecodedReply reply =
        decodeReply(hex(c.block), Request::readRegisters(1, 0, std::uint16_t(c.registers)));
    EXPECT_EQ(reply.rejected, c.rejected);
    EXPECT_EQ(reply.values, c.values);
    EXPECT_FALSE(reply.address.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, MeasurementReply,
    ::testing::Values(
        MeasurementCase{"NineByteExample", 2, "01030401F4FFFFBB8D", false, {500, 0}},
        // ten registers fill the eight boxes; positions 8 and 9 have no box
        MeasurementCase{"FullReply",
                        10,
                        "01031401C200000001000007D003E8000007D000070008697E",
                        false,
                        {450, 0, 1, 0, 2000, 1000, 0, 2000}},
        MeasurementCase{"ByteCountZero", 0, "01030020F0", false, {}},
        MeasurementCase{"FFFEFFFFAndZero", 3, "010306FFFEFFFF00001C8A", false, {65534, 0, 0}},
        MeasurementCase{"TrailingJunkIgnored", 2, "01030401F4FFFFBB8D55AA", false, {500, 0}},
        // not the answer (the check's every verdict: reply_check_test)
        MeasurementCase{"OddByteCount", 1, "01030301F4AAD2F1", true, {}},
        MeasurementCase{"AnotherModule", 2, "02030401F4FFFF888D", true, {}},
        MeasurementCase{"BadCrc", 2, "01030401F4FFFFBB8E", true, {}},
        MeasurementCase{"Empty", 2, "", true, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// The decoding rules without the validity check: whole pairs from byte 3, as many as byte 2 says.
TEST(MeasurementValues, StopsAtTheFirstIncompletePair) {
    EXPECT_EQ(measurementValues(hex("01030801F4")), (std::vector<std::uint16_t>{500}));
    EXPECT_EQ(measurementValues(hex("01030801F400")), (std::vector<std::uint16_t>{500}));
    EXPECT_EQ(measurementValues(hex("0103")), (std::vector<std::uint16_t>{}));
}

// A configuration reply gives an address only from a whole frame that answers the request (the
// check's every verdict: reply_check_test).
TEST(ConfigurationReply, TakesTheAddressOnlyFromTheAnswer) {
    const Request change = Request::addressChange(2, 5);
    const Request read = Request::addressRead(7);
    const Request write = Request::parameterWrite(2, 0x0A05, 1000);
    struct Case {
        const char *block;
        const Request &request;
        std::optional<int> address; // empty: rejected
    };
    const Case cases[] = {
        {"02060B0000054BDE", change, 5},   // the echoed new address, byte 5
        {"02060B0000054BDE77", change, 5}, // a stray byte after the frame
        {"05060B0000054A69", change, 5},   // the module took its new address before the echo
        {"02060B00002A0A02", change, {}},  // the echo of another address
        {"02060B0000054BDF", change, {}},  // bad CRC
        {"07030201F43053", change, {}},    // a read reply is no echo
        {"07030201F43053", read, 7},       // who answered, byte 0
        {"09030201F45992", read, 9},       // another module answered
        {"02060A0503E89A9E", read, {}},    // a write's echo answers no read
        {"02060A0503E89A9E", write, 2},    // the echo of the write
        {"02060A0503E95B5E", write, {}},   // the echo of another value
    };
    for (const Case &c : cases) {
        const DecodedReply reply = decodeReply(hex(c.block), c.request);
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
    EXPECT_EQ(decodeReply(hex("01830440F3"), Request::readRegisters(1, 0, 10)).hexText,
              QStringLiteral(" 01 83 04 40 F3"));
}

} // namespace
