#include "reply_check.h"

#include <algorithm>

namespace modbus {

namespace {

constexpr std::size_t kFunctionIndex = 1;
constexpr std::size_t kByteCountIndex = 2;
// A read reply without its registers and CRC: address, function, byte count.
constexpr int kReadReplyHead = 3;

ReplyCheck verdict(ReplyVerdict verdict) {
    ReplyCheck check;
    check.verdict = verdict;
    return check;
}

bool isExceptionFunction(std::uint8_t function) {
    return function & kExceptionFlag;
}

// The CRC over the frame's first length - 2 bytes equals its two bytes after them.
bool crcChecksOut(ByteView frame) {
    const std::uint16_t crc = crc16Modbus(frame.first(frame.size() - kCrcLength));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

// A read reply that already shows another byte count than the request asks for.
bool announcesOtherCount(const Request &request, ByteView received) {
    return request.asksForRegisters() && received.size() > kByteCountIndex &&
           received[kFunctionIndex] == request.function() &&
           received[kByteCountIndex] != 2 * request.registerCount();
}

// The length of the frame from its slave address on, without a CRC, that its first bytes
// announce as an answer to the request; empty when they do not tell yet, or tell a function the
// request is not answered with.
std::optional<int> announcedLength(const Request &request, ByteView received) {
    if (received.size() <= kFunctionIndex)
        return std::nullopt;
    const std::uint8_t function = received[kFunctionIndex];
    if (isExceptionFunction(function))
        return kExceptionReplyLength - kCrcLength;
    if (function != request.function())
        return std::nullopt;
    if (!request.asksForRegisters())
        return kWriteEchoLength - kCrcLength;
    if (received.size() <= kByteCountIndex)
        return std::nullopt;
    return kReadReplyHead + received[kByteCountIndex];
}

bool fromTheModuleAsked(const Request &request, std::uint8_t slave, ReplyPolicy policy) {
    if (slave == request.slave())
        return true;
    if (policy == ReplyPolicy::Strict)
        return false;
    // The window learns the address from the address read's reply; a module that took its new
    // address before it echoed the change answers from there.
    return request.kind() == RequestKind::AddressRead ||
           (request.kind() == RequestKind::AddressChange && slave == request.value());
}

// The bytes are the request's frame or its start, or begin with the whole frame.
bool givesBackTheRequest(const Request &request, ByteView block) {
    const Frame sent = request.rtu();
    const std::size_t compared = std::min(block.size(), sent.size());
    return !block.empty() && std::equal(block.begin(), block.begin() + compared, sent.begin());
}

// The framing, then the frame against the request (checkReply without the echo).
ReplyCheck checkFrame(const Request &request, ByteView block, ReplyPolicy policy) {
    if (request.kind() == RequestKind::None)
        return verdict(ReplyVerdict::NotPending);
    if (block.empty())
        return verdict(ReplyVerdict::NothingReceived);
    if (block.size() <= kFunctionIndex)
        return verdict(ReplyVerdict::CutShort);
    if (announcesOtherCount(request, block) || !announcedLength(request, block)) {
        // Known not to be the answer before it is whole; a read's head tells it when there.
        if (block.size() <= kByteCountIndex && block[kFunctionIndex] == request.function())
            return verdict(ReplyVerdict::CutShort);
        return checkAnswer(request, block.first(std::min(block.size(), kByteCountIndex + 1)),
                           policy);
    }
    const int length = *announcedLength(request, block) + kCrcLength;
    if (block.size() < std::size_t(length))
        return verdict(ReplyVerdict::CutShort);
    const ByteView frame = block.first(std::size_t(length));
    if (!crcChecksOut(frame))
        return verdict(ReplyVerdict::CrcMismatch);
    ReplyCheck check = checkAnswer(request, frame.first(frame.size() - kCrcLength), policy);
    check.frameLength = length;
    check.extraBytes = int(block.size()) - length;
    return check;
}

} // namespace

bool stillComing(ReplyVerdict verdict) {
    return verdict == ReplyVerdict::NothingReceived || verdict == ReplyVerdict::CutShort;
}

std::optional<int> expectedReplyLength(const Request &request, ByteView received) {
    if (request.kind() == RequestKind::None)
        return std::nullopt;
    if (received.size() <= kFunctionIndex)
        return request.replyLength();
    const auto length = announcedLength(request, received);
    return length ? std::optional(*length + kCrcLength) : std::nullopt;
}

ReplyCheck checkAnswer(const Request &request, ByteView frame, ReplyPolicy policy) {
    const ReplyFrame reply(frame);
    ReplyCheck check = verdict(ReplyVerdict::Accepted);
    check.slave = reply.slave();
    check.function = reply.function();
    if (reply.isException()) {
        check.exceptionCode = reply.exceptionCode();
        if (reply.slave() != request.slave())
            check.verdict = ReplyVerdict::WrongAddress;
        else if (reply.function() != (request.function() | kExceptionFlag))
            check.verdict = ReplyVerdict::WrongFunction;
        else
            check.verdict = ReplyVerdict::Exception;
        return check;
    }
    if (reply.function() != request.function()) {
        check.verdict = ReplyVerdict::WrongFunction;
        return check;
    }
    if (request.asksForRegisters()) {
        check.byteCount = reply.byteCount();
        if (reply.byteCount() != 2 * request.registerCount())
            check.verdict = ReplyVerdict::WrongByteCount;
        else if (!fromTheModuleAsked(request, reply.slave(), policy))
            check.verdict = ReplyVerdict::WrongAddress;
        return check;
    }
    check.echoedRegister = reply.echoedRegister();
    check.echoedValue = reply.echoedValue();
    if (!fromTheModuleAsked(request, reply.slave(), policy))
        check.verdict = ReplyVerdict::WrongAddress;
    else if (reply.echoedRegister() != request.registerAddress() ||
             reply.echoedValue() != request.value())
        check.verdict = ReplyVerdict::OtherValue;
    return check;
}

ReplyCheck checkReply(const Request &request, ByteView block, ReplyPolicy policy) {
    ReplyCheck check = checkFrame(request, block, policy);
    if (request.asksForRegisters() && !stillComing(check.verdict) &&
        givesBackTheRequest(request, block)) {
        check = verdict(ReplyVerdict::EchoOfRequest);
    }
    return check;
}

ReplyCheck checkTcpReply(const Request &request, std::span<const std::uint16_t> transactionIds,
                         ByteView adu, ReplyPolicy policy) {
    if (request.kind() == RequestKind::None)
        return verdict(ReplyVerdict::NotPending);
    if (adu.empty())
        return verdict(ReplyVerdict::NothingReceived);
    const auto header = mbapHeader(adu);
    if (!header || adu.size() < std::size_t(kMbapLength))
        return verdict(ReplyVerdict::CutShort);
    if (header->protocolId != 0 || header->length < 2 || header->length > kLongestUnitAndPdu)
        return verdict(ReplyVerdict::BadHeader);
    if (adu.size() < std::size_t(header->aduLength()))
        return verdict(ReplyVerdict::CutShort);
    const ByteView frame = adu.subspan(kMbapLengthFieldEnd, header->length);
    ReplyCheck check;
    const bool ours = std::find(transactionIds.begin(), transactionIds.end(),
                                header->transactionId) != transactionIds.end();
    const auto announced = announcedLength(request, frame);
    if (!ours)
        check.verdict = ReplyVerdict::OtherTransaction;
    else if (announced && *announced != header->length)
        check.verdict = ReplyVerdict::BadHeader;
    else
        check = checkAnswer(request, frame, policy);
    check.frameStart = kMbapLengthFieldEnd;
    check.frameLength = header->aduLength();
    check.extraBytes = int(adu.size()) - header->aduLength();
    return check;
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

} // namespace modbus
