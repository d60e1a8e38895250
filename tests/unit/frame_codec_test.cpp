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
    EXPECT_EQ(crc16Modbus(bytesOf(QByteArray("123456789"))), 0x4B37);
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
        EXPECT_EQ(crc16Modbus(frame), 0) << text;
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

// Each kind of request the programs send, built by the frame type, against the bytes the
// window's own examples quote (their CRCs: EveryQuotedFrame); the reply each asks for; the same
// request over Modbus TCP; and the request a module reads back from the bytes.
TEST(Request, EveryKindAsTheQuotedBytes) {
    struct Case {
        Request request;
        const char *rtu;
        int replyLength;
        RequestKind parsedKind;
    };
    const Case cases[] = {
        {Request::measurement(1, 3, 0, 10), "01030000000AC5CD", 25, RequestKind::Measurement},
        {Request::measurement(0, 3, 0, 0), "000300000000", 5, RequestKind::Measurement},
        {Request::measurement(1, 4, 3, 255), "0104000300FF", 515, RequestKind::Measurement},
        {Request::addressChange(1, 2), "01060B0000020A2F", 8, RequestKind::AddressChange},
        {Request::addressRead(2), "0203000000018439", 7, RequestKind::Measurement},
        {Request::parameterWrite(2, 0x0A03, 0xFFFF), "02060A03FFFF7B91", 8,
         RequestKind::ParameterWrite},
    };
    for (const Case &c : cases) {
        const Frame frame = c.request.rtu();
        const QByteArray quoted = hex(c.rtu);
        // Six quoted bytes are a header: their CRC is the one the frame type adds.
        EXPECT_EQ(byteArrayOf(frame).first(quoted.size()), quoted) << c.rtu;
        EXPECT_EQ(crc16Modbus(frame), 0) << c.rtu;
        EXPECT_EQ(c.request.replyLength(), c.replyLength) << c.rtu;
        const auto header = c.request.header();
        EXPECT_EQ(byteArrayOf(c.request.tcp(0x1234)), hex("12340000 0006") + byteArrayOf(header))
            << c.rtu;
        const auto parsed = Request::parse(frame);
        ASSERT_TRUE(parsed) << c.rtu;
        EXPECT_EQ(parsed->kind(), c.parsedKind) << c.rtu;
        EXPECT_EQ(parsed->header(), header) << c.rtu;
    }
    EXPECT_FALSE(Request::parse(bytes("0103000000")));
}

} // namespace
