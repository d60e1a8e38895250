#include "reply_check.h"

namespace modbus {

namespace {

constexpr int kExceptionReplyLength = 5;
constexpr int kByteCountIndex = 2;
constexpr int kExceptionCodeIndex = 2;
constexpr int kOneRegisterByteCount = 2;

enum class Shape { None, Exception, Registers, OneRegister, Echo };

// The reply layout a function code stands for, as an answer to that kind of request.
Shape shapeOf(RequestKind kind, std::uint8_t function) {
    if (kind == RequestKind::None)
        return Shape::None;
    if (function & kExceptionFlag)
        return Shape::Exception;
    switch (kind) {
    case RequestKind::Measurement:
        return Shape::Registers;
    case RequestKind::AddressChange:
        return function == kWriteSingleRegister ? Shape::Echo : Shape::None;
    case RequestKind::AddressRead:
    case RequestKind::ParameterWrite:
        if (function == kReadHoldingRegisters)
            return Shape::OneRegister;
        return function == kWriteSingleRegister ? Shape::Echo : Shape::None;
    case RequestKind::None:
        break;
    }
    return Shape::None;
}

std::optional<int> lengthOf(Shape shape, const QByteArray &block) {
    switch (shape) {
    case Shape::Exception:
        return kExceptionReplyLength;
    case Shape::OneRegister:
        return readReplyLength(1);
    case Shape::Echo:
        return kWriteEchoLength;
    case Shape::Registers:
        if (block.size() <= kByteCountIndex)
            return std::nullopt;
        return 3 + std::uint8_t(block[kByteCountIndex]) + 2;
    case Shape::None:
        break;
    }
    return std::nullopt;
}

// The CRC over the block's first length - 2 bytes equals its two bytes after them.
bool crcChecksOut(const QByteArray &block, int length) {
    const std::uint16_t crc = crc16Modbus(block.first(length - 2));
    return std::uint8_t(block[length - 2]) == (crc & 0xFF) &&
           std::uint8_t(block[length - 1]) == (crc >> 8);
}

ReplyCheck verdict(ReplyVerdict verdict, std::uint8_t function = 0) {
    ReplyCheck check;
    check.verdict = verdict;
    check.function = function;
    return check;
}

} // namespace

Request requestOf(RequestKind kind, const Frame &frame) {
    return Request{kind, frame[0], frame[1], frame[2] << 8 | frame[3], frame[4] << 8 | frame[5]};
}

int cmdTypeOf(RequestKind kind) {
    switch (kind) {
    case RequestKind::Measurement:
        return kMeasurementRead;
    case RequestKind::AddressChange:
        return kAddressChange;
    case RequestKind::AddressRead:
    case RequestKind::ParameterWrite:
        return kAddressReadOrParameterWrite;
    case RequestKind::None:
        break;
    }
    return kNoRequest;
}

RequestKind requestKindOf(int cmdType) {
    switch (cmdType) {
    case kMeasurementRead:
        return RequestKind::Measurement;
    case kAddressChange:
        return RequestKind::AddressChange;
    case kAddressReadOrParameterWrite:
        return RequestKind::AddressRead;
    default:
        return RequestKind::None;
    }
}

std::optional<int> expectedReplyLength(const Request &request, const QByteArray &received) {
    if (received.size() > 1)
        return lengthOf(shapeOf(request.kind, std::uint8_t(received[1])), received);
    switch (request.kind) {
    case RequestKind::Measurement:
        return readReplyLength(request.registerCount);
    case RequestKind::AddressRead:
        return readReplyLength(1);
    case RequestKind::AddressChange:
    case RequestKind::ParameterWrite:
        return kWriteEchoLength;
    case RequestKind::None:
        break;
    }
    return std::nullopt;
}

ReplyCheck checkReply(const Request &request, const QByteArray &block) {
    if (request.kind == RequestKind::None)
        return verdict(ReplyVerdict::NotPending);
    if (block.isEmpty())
        return verdict(ReplyVerdict::NothingReceived);
    if (block.size() < 2)
        return verdict(ReplyVerdict::CutShort);
    const auto function = std::uint8_t(block[1]);
    const Shape shape = shapeOf(request.kind, function);
    if (shape == Shape::None)
        return verdict(ReplyVerdict::WrongFunction, function);
    if (shape == Shape::OneRegister && block.size() > kByteCountIndex &&
        std::uint8_t(block[kByteCountIndex]) != kOneRegisterByteCount)
        return verdict(ReplyVerdict::WrongByteCount, function);
    const std::optional<int> length = lengthOf(shape, block);
    if (!length || block.size() < *length)
        return verdict(ReplyVerdict::CutShort, function);
    if (!crcChecksOut(block, *length))
        return verdict(ReplyVerdict::CrcMismatch, function);

    ReplyCheck check = verdict(ReplyVerdict::Accepted, function);
    check.frameLength = *length;
    check.extraBytes = int(block.size()) - *length;
    if (shape == Shape::Exception) {
        check.exceptionCode = std::uint8_t(block[kExceptionCodeIndex]);
        if (std::uint8_t(block[0]) != request.slave)
            check.verdict = ReplyVerdict::WrongAddress;
        else if (function != (request.function | kExceptionFlag))
            check.verdict = ReplyVerdict::WrongFunction;
        else
            check.verdict = ReplyVerdict::Exception;
    }
    return check;
}

} // namespace modbus
