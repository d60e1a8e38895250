#include "core/reply_check.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

using enum ReplyVerdict;

// The window's requests at start-up: ten registers of module 1; address change, address read and
// parameter write as the configuration lines build them.
const Request kMeasurement{RequestKind::Measurement, 1, 3, 0, 10};
const Request kAddressChange{RequestKind::AddressChange, 2, 6, 0x0B00, 5};
const Request kAddressRead{RequestKind::AddressRead, 7, 3, 0, 1};
const Request kParameterWrite{RequestKind::ParameterWrite, 2, 6, 0x0A04, 30000};
const Request kNothing{};

struct Case {
    const char *name;
    const Request &request;
    const char *block;
    ReplyVerdict verdict;
    int frameLength = 0;
    int extraBytes = 0;
    int exceptionCode = 0;
};

const Case kCases[] = {
    {"read reply", kMeasurement, "010304 01F4FFFF BB8D", Accepted, 9},
    {"bytes after the frame", kMeasurement, "010304 01F4FFFF BB8D 1234", Accepted, 9, 2},
    {"zero registers", kMeasurement, "010300 20F0", Accepted, 5},
    {"address changed, CRC kept", kMeasurement, "02030401F4FFFFBB8D", CrcMismatch},
    {"CRC high byte wrong", kMeasurement, "010304 01F4FFFF BB8E", CrcMismatch},
    {"data byte corrupted", kMeasurement, "010304 01F4FFFE BB8D", CrcMismatch},
    {"frame cut short", kMeasurement, "010304 01F4FFFF BB", CutShort},
    {"byte count promises more", kMeasurement, "010304 01F4", CutShort},
    {"two bytes", kMeasurement, "0103", CutShort},
    {"one byte", kMeasurement, "01", CutShort},
    {"nothing", kMeasurement, "", NothingReceived},
    {"refusal", kMeasurement, "018302C0F1", Exception, 5, 0, 2},
    {"refusal and a stray byte", kMeasurement, "018302C0F1 00", Exception, 5, 1, 2},
    {"refusal cut short", kMeasurement, "018302C0", CutShort},
    {"refusal with a bad CRC", kMeasurement, "018302C0F2", CrcMismatch},
    {"refusal from another module", kMeasurement, "02830230F1", WrongAddress, 5, 0, 2},
    {"refusal of another function", kMeasurement, "018402C2C1", WrongFunction, 5, 0, 2},
    {"noise is no exception", kAddressChange, "A1B2C3D4E5F6", CrcMismatch},
    {"echo", kAddressChange, "02060B0000054BDE", Accepted, 8},
    {"echo with a bad CRC", kAddressChange, "02060B0000054BDF", CrcMismatch},
    {"echo cut short", kAddressChange, "02060B000005", CutShort},
    {"read reply is no echo", kAddressChange, "07030201F43053", WrongFunction},
    {"address change refused", kAddressChange, "02860233A1", Exception, 5, 0, 2},
    {"one-register reply", kAddressRead, "07030201F43053", Accepted, 7},
    {"echo to an address read", kAddressRead, "02060A0503E89A9E", Accepted, 8},
    {"two registers", kAddressRead, "0703040001000200", WrongByteCount},
    {"address read refused", kAddressRead, "07830220F0", Exception, 5, 0, 2},
    {"parameter write echoed", kParameterWrite, "02060A0503E89A9E", Accepted, 8},
    {"parameter write refused", kParameterWrite, "028603F261", Exception, 5, 0, 3},
    {"nothing pending", kNothing, "02060B0000054BDE", NotPending},
};

TEST(CheckReply, EveryVerdict) {
    for (const Case &c : kCases) {
        const ReplyCheck check = checkReply(c.request, QByteArray::fromHex(c.block));
        EXPECT_EQ(check.verdict, c.verdict) << c.name;
        EXPECT_EQ(check.frameLength, c.frameLength) << c.name;
        EXPECT_EQ(check.extraBytes, c.extraBytes) << c.name;
        EXPECT_EQ(check.exceptionCode, c.exceptionCode) << c.name;
        EXPECT_EQ(isRefusal(c.request, QByteArray::fromHex(c.block)), c.verdict == Exception)
            << c.name;
    }
}

TEST(ExpectedReplyLength, FromTheRequestThenFromTheFirstBytes) {
    struct LengthCase {
        const Request &request;
        const char *received;
        std::optional<int> length;
    };
    const LengthCase cases[] = {
        {kMeasurement, "", 25},
        {kAddressRead, "", 7},
        {kAddressChange, "", 8},
        {kParameterWrite, "", 8},
        {kNothing, "", std::nullopt},
        {kMeasurement, "01", 25},
        {kMeasurement, "0183", 5},
        {kMeasurement, "010302", 7},
        {kMeasurement, "0103", std::nullopt},
        {kAddressChange, "0203", std::nullopt},
        {kAddressRead, "0706", 8},
        {kParameterWrite, "0203", 7},
    };
    for (const LengthCase &c : cases)
        EXPECT_EQ(expectedReplyLength(c.request, QByteArray::fromHex(c.received)), c.length)
            << c.received;
}

TEST(RequestOf, ReadsTheFrame) {
    const Request request =
        requestOf(RequestKind::Measurement, Frame{0x01, 0x03, 0x00, 0x04, 0x00, 0x02, 0, 0});
    EXPECT_EQ(request.slave, 1);
    EXPECT_EQ(request.function, 3);
    EXPECT_EQ(request.startRegister, 4);
    EXPECT_EQ(request.registerCount, 2);
    for (const RequestKind kind : {RequestKind::None, RequestKind::Measurement,
                                   RequestKind::AddressChange, RequestKind::AddressRead})
        EXPECT_EQ(requestKindOf(cmdTypeOf(kind)), kind);
}

} // namespace
