#include "core/frame_codec.h"
#include "core/reply_check.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

using enum ReplyVerdict;

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

// Requests as the window and the command line build them.
const Request kTwoRegisters = Request::readRegisters(1, 0, 2);
const Request kNoRegisters = Request::readRegisters(1, 0, 0);
const Request kTypedFunction = Request::measurement(1, 4, 0, 2);
const Request kAddressChange = Request::addressChange(2, 5);
const Request kAddressRead = Request::addressRead(7);
const Request kParameterWrite = Request::parameterWrite(2, 0x0A05, 1000);
const Request kNothing{};

struct Case {
    const char *name;
    const Request &request;
    const char *block;
    ReplyVerdict window; // the window's policy
    ReplyVerdict strict; // the command line's
    int frameLength = 0;
    int extraBytes = 0;
    int exceptionCode = 0;
};

const Case kCases[] = {
    {"read reply", kTwoRegisters, "010304 01F4FFFF BB8D", Accepted, Accepted, 9},
    {"bytes after the frame", kTwoRegisters, "010304 01F4FFFF BB8D 1234", Accepted, Accepted, 9, 2},
    {"zero registers", kNoRegisters, "010300 20F0", Accepted, Accepted, 5},
    {"address changed, CRC kept", kTwoRegisters, "02030401F4FFFFBB8D", CrcMismatch, CrcMismatch},
    {"CRC high byte wrong", kTwoRegisters, "010304 01F4FFFF BB8E", CrcMismatch, CrcMismatch},
    {"data byte corrupted", kTwoRegisters, "010304 01F4FFFE BB8D", CrcMismatch, CrcMismatch},
    {"frame cut short", kTwoRegisters, "010304 01F4FFFF BB", CutShort, CutShort},
    {"byte count promises more", kTwoRegisters, "010304 01F4", CutShort, CutShort},
    {"two bytes", kTwoRegisters, "0103", CutShort, CutShort},
    {"one byte", kTwoRegisters, "01", CutShort, CutShort},
    {"nothing", kTwoRegisters, "", NothingReceived, NothingReceived},
    // Whole frames with a good CRC that answer another question.
    {"a reading from another module", kTwoRegisters, "020304 01F4FFFF 888D", WrongAddress,
     WrongAddress, 9},
    {"another function", kTwoRegisters, "010404 01F4FFFF BA3A", WrongFunction, WrongFunction},
    {"the function typed is answered", kTypedFunction, "010404 01F4FFFF BA3A", Accepted, Accepted,
     9},
    {"a register more than asked", kTwoRegisters, "010306 01F4FFFF0001 5095", WrongByteCount,
     WrongByteCount},
    // Refusals.
    {"refusal", kTwoRegisters, "018302C0F1", Exception, Exception, 5, 0, 2},
    {"refusal and a stray byte", kTwoRegisters, "018302C0F1 00", Exception, Exception, 5, 1, 2},
    {"refusal cut short", kTwoRegisters, "018302C0", CutShort, CutShort},
    {"refusal with a bad CRC", kTwoRegisters, "018302C0F2", CrcMismatch, CrcMismatch},
    {"refusal from another module", kTwoRegisters, "02830230F1", WrongAddress, WrongAddress, 5, 0,
     2},
    {"refusal of another function", kTwoRegisters, "018402C2C1", WrongFunction, WrongFunction, 5, 0,
     2},
    // The address change: the echo of function, register and new address, from the old address
    // (or, for the window, the new one).
    {"noise is no echo", kAddressChange, "A1B2C3D4E5F6", CrcMismatch, CrcMismatch},
    {"echo", kAddressChange, "02060B0000054BDE", Accepted, Accepted, 8},
    {"echo from the new address", kAddressChange, "05060B0000054A69", Accepted, WrongAddress, 8},
    {"echo from a third address", kAddressChange, "03060B0000054A0F", WrongAddress, WrongAddress,
     8},
    {"echo of another address", kAddressChange, "02060B00002A0A02", OtherValue, OtherValue, 8},
    {"echo with a bad CRC", kAddressChange, "02060B0000054BDF", CrcMismatch, CrcMismatch},
    {"echo cut short", kAddressChange, "02060B000005", CutShort, CutShort},
    {"read reply is no echo", kAddressChange, "07030201F43053", WrongFunction, WrongFunction},
    {"address change refused", kAddressChange, "02860233A1", Exception, Exception, 5, 0, 2},
    // The address read learns who answers: the window takes any address.
    {"one-register reply", kAddressRead, "07030201F43053", Accepted, Accepted, 7},
    {"reply from another address", kAddressRead, "09030201F45992", Accepted, WrongAddress, 7},
    {"echo to an address read", kAddressRead, "02060A0503E89A9E", WrongFunction, WrongFunction},
    {"two registers", kAddressRead, "0703040001 0002 4C32", WrongByteCount, WrongByteCount},
    {"address read refused", kAddressRead, "07830220F0", Exception, Exception, 5, 0, 2},
    // A parameter write: the echo of the whole request.
    {"parameter write echoed", kParameterWrite, "02060A0503E89A9E", Accepted, Accepted, 8},
    {"echo of another value", kParameterWrite, "02060A0503E95B5E", OtherValue, OtherValue, 8},
    {"echo of another register", kParameterWrite, "02060A0603E86A9E", OtherValue, OtherValue, 8},
    {"echo from another module", kParameterWrite, "03060A0503E89B4F", WrongAddress, WrongAddress,
     8},
    {"read reply to a write", kParameterWrite, "07030201F43053", WrongFunction, WrongFunction},
    {"parameter write refused", kParameterWrite, "028603F261", Exception, Exception, 5, 0, 3},
    // A read's request given back by the line, whole or its start, before the reply or without it.
    {"the request given back", kTwoRegisters, "010300000002C40B", EchoOfRequest, EchoOfRequest},
    {"the request, then the reply", kTwoRegisters, "010300000002C40B 010304 01F4FFFF BB8D",
     EchoOfRequest, EchoOfRequest},
    {"the request's start", kAddressRead, "070300000001 84", EchoOfRequest, EchoOfRequest},
    {"nothing pending", kNothing, "02060B0000054BDE", NotPending, NotPending},
};

TEST(CheckReply, EveryVerdictUnderBothPolicies) {
    for (const Case &c : kCases) {
        const QByteArray block = hex(c.block);
        for (const auto &[policy, expected] :
             {std::pair{ReplyPolicy::Window, c.window}, {ReplyPolicy::Strict, c.strict}}) {
            const ReplyCheck check = checkReply(c.request, bytesOf(block), policy);
            const bool window = policy == ReplyPolicy::Window;
            EXPECT_EQ(check.verdict, expected) << c.name << (window ? " (window)" : " (strict)");
            EXPECT_EQ(check.frameLength, c.frameLength) << c.name;
            EXPECT_EQ(check.extraBytes, c.extraBytes) << c.name;
            EXPECT_EQ(check.exceptionCode, c.exceptionCode) << c.name;
        }
        EXPECT_EQ(isRefusal(c.request, bytesOf(block)), c.window == Exception) << c.name;
    }
}

// Modbus TCP: the MBAP header frames the reply and names the request it answers.
TEST(CheckTcpReply, TheHeaderThenTheAnswer) {
    const std::uint16_t tries[] = {7, 8};
    struct TcpCase {
        const char *name;
        const char *adu;
        ReplyVerdict verdict;
        int frameLength = 0;
    };
    const TcpCase cases[] = {
        {"reply", "0008 0000 0007 010304 01F4FFFF", Accepted, 13},
        {"an earlier try's reply", "0007 0000 0007 010304 01F4FFFF", Accepted, 13},
        {"another request's reply", "0009 0000 0007 010304 01F4FFFF", OtherTransaction, 13},
        {"protocol 1", "0008 0001 0007 010304 01F4FFFF", BadHeader},
        {"a length the PDU has not", "0008 0000 0006 010304 01F4FF", BadHeader, 12},
        {"no PDU", "0008 0000 0000 01", BadHeader},
        {"cut short", "0008 0000 0007 010304 01F4", CutShort},
        {"from another unit", "0008 0000 0007 020304 01F4FFFF", WrongAddress, 13},
        {"the gateway's exception", "0008 0000 0003 01830B", Exception, 9},
        {"nothing", "", NothingReceived},
    };
    for (const TcpCase &c : cases) {
        const QByteArray adu = hex(c.adu);
        const ReplyCheck check =
            checkTcpReply(kTwoRegisters, tries, bytesOf(adu), ReplyPolicy::Strict);
        EXPECT_EQ(check.verdict, c.verdict) << c.name;
        EXPECT_EQ(check.frameLength, c.frameLength) << c.name;
        EXPECT_EQ(check.frameStart, c.frameLength > 0 ? kMbapLengthFieldEnd : 0) << c.name;
    }
}

TEST(ExpectedReplyLength, FromTheRequestThenFromTheFirstBytes) {
    struct LengthCase {
        const Request &request;
        const char *received;
        std::optional<int> length;
    };
    const LengthCase cases[] = {
        {Request::readRegisters(1, 0, 10), "", 25},
        {kAddressRead, "", 7},
        {kAddressChange, "", 8},
        {kParameterWrite, "", 8},
        {kNothing, "", std::nullopt},
        {kTwoRegisters, "01", 9},
        {kTwoRegisters, "0183", 5},
        {kTwoRegisters, "010302", 7},
        {kTwoRegisters, "0103", std::nullopt},
        {kAddressChange, "0203", std::nullopt},
        {kAddressRead, "0706", std::nullopt},
        {kParameterWrite, "0206", 8},
        {kParameterWrite, "0203", std::nullopt},
    };
    for (const LengthCase &c : cases)
        EXPECT_EQ(expectedReplyLength(c.request, bytesOf(hex(c.received))), c.length) << c.received;
}

} // namespace
