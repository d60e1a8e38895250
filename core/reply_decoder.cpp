#include "reply_decoder.h"

#include "frame_codec.h"

namespace modbus {

std::vector<std::uint16_t> measurementValues(const QByteArray &block) {
    std::vector<std::uint16_t> values = ReplyFrame(bytesOf(block)).registers();
    for (std::uint16_t &value : values)
        value = shownValue(value);
    return values;
}

DecodedReply decodeReply(const QByteArray &block, const Request &pending) {
    DecodedReply reply;
    reply.hexText = replyHexText(block);
    reply.check = checkReply(pending, bytesOf(block), ReplyPolicy::Window);
    if (reply.check.verdict == ReplyVerdict::NotPending)
        return reply;
    if (reply.check.verdict != ReplyVerdict::Accepted) {
        reply.rejected = true;
        return reply;
    }
    const ReplyFrame frame(bytesOf(block));
    switch (pending.kind()) {
    case RequestKind::Measurement:
        reply.values = measurementValues(block);
        if (reply.values.size() > std::size_t(kValueBoxCount))
            reply.values.resize(kValueBoxCount);
        break;
    case RequestKind::AddressChange:
        reply.address = std::uint8_t(frame.echoedValue() & 0xFF);
        break;
    case RequestKind::AddressRead:
    case RequestKind::ParameterWrite:
        reply.address = frame.slave();
        break;
    case RequestKind::None:
        break;
    }
    return reply;
}

DecodedReply echoDifferedReply(const QByteArray &block) {
    DecodedReply reply;
    reply.hexText = replyHexText(block);
    reply.check.verdict = ReplyVerdict::EchoDiffers;
    reply.rejected = true;
    return reply;
}

} // namespace modbus
