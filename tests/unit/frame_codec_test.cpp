#include "core/frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

using namespace modbus;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

std::vector<std::uint8_t> bytes(const char *text) {
    const QByteArray b = hex(text);
    return {b.begin(), b.end()};
}

TEST(Crc16, CheckValue) {
    const QByteArray digits("123456789");
    EXPECT_EQ(crc16Modbus(digits), 0x4B37);
    const auto crc = Crc16(bytes("313233343536373839"), 8);
    EXPECT_EQ(crc.HiByte, 0x37);
    EXPECT_EQ(crc.LoByte, 0x4B);
}

// Every request the tool sends, and every reply quoted for the module: the CRC of the first six
// bytes (or of everything before the CRC) is the two bytes that follow, low-order first, and the
// CRC over a whole frame is 0.
TEST(Crc16, EveryQuotedFrame) {
    const char *frames[] = {"01030000000AC5CD", "010300000001840A",     "020300000004443A",
                            "01060B0000020A2F", "0203000000018439",     "02060A0503E89A9E",
                            "02060A020001EA21", "02060A020002AA20",     "02060A03FFFF7B91",
                            "02060A0407D0C84C", "010304 01F4FFFF BB8D", "02060B0000054BDE",
                            "07030201F43053"};
    for (const char *text : frames) {
        const auto frame = bytes(text);
        const int last = int(frame.size()) - 3;
        const auto crc = Crc16(frame, last);
        EXPECT_EQ(crc.HiByte, frame[frame.size() - 2]) << text;
        EXPECT_EQ(crc.LoByte, frame[frame.size() - 1]) << text;
        EXPECT_EQ(crc16Modbus(std::span<const std::uint8_t>(frame)), 0) << text;
    }
}

TEST(Crc16, CoversOnlyIndicesZeroToJ) {
    auto frame = bytes("010300000001FFFF");
    const auto before = Crc16(frame, 5);
    frame[6] = 0x12;
    frame[7] = 0x34;
    const auto after = Crc16(frame, 5);
    EXPECT_EQ(before.HiByte, 0x84);
    EXPECT_EQ(before.LoByte, 0x0A);
    EXPECT_EQ(after.HiByte, before.HiByte);
    EXPECT_EQ(after.LoByte, before.LoByte);
}

TEST(Crc16, NegativeJCoversNothing) {
    const auto crc = Crc16(bytes("0103"), -1);
    EXPECT_EQ(crc.HiByte, 0xFF);
    EXPECT_EQ(crc.LoByte, 0xFF);
}

TEST(FormatHex, TwoUpperCaseDigits) {
    const std::pair<int, const char *> cases[] = {{0, "00"},    {9, "09"},  {10, "0A"},
                                                  {14, "0E"},   {15, "0F"}, {16, "10"},
                                                  {0xF4, "F4"}, {255, "FF"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(FormatHex(std::uint8_t(value)), QString::fromLatin1(text));
}

TEST(HexText, RequestEndsInABlankReplyStartsWithOne) {
    const Frame request{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    EXPECT_EQ(requestHexText(request), QStringLiteral("01 03 00 00 00 0A C5 CD "));
    EXPECT_EQ(requestHexText(request).size(), 24);
    const QString reply = replyHexText(hex("010304 01F4FFFF BB8D"));
    EXPECT_EQ(reply, QStringLiteral(" 01 03 04 01 F4 FF FF BB 8D"));
    EXPECT_EQ(reply.size(), 27);
    EXPECT_EQ(replyHexText(hex("0A")), QStringLiteral(" 0A"));
    EXPECT_EQ(replyHexText({}), QString());
}

} // namespace
