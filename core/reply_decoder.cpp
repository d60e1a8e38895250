#include "reply_decoder.h"

#include "frame_codec.h"
#include "module_protocol.h"

namespace modbus {

std::vector<std::uint16_t> measurementValues(const QByteArray &block) {
    std::vector<std::uint16_t> values;
    if (block.size() < 3)
        return values;
    const int positions = std::uint8_t(block[2]) / 2;
    for (int k = 0; k < positions; ++k) {
        const int i = 3 + 2 * k;
        if (i + 1 >= block.size())
            break;
        values.push_back(
            shownValue(std::uint16_t(std::uint8_t(block[i]) << 8 | std::uint8_t(block[i + 1]))));
    }
    return values;
}

DecodedReply decodeReply(const QByteArray &block, const Request &pending) {
    DecodedReply reply;
    reply.hexText = replyHexText(block);
    reply.check = checkReply(pending, block);
    if (reply.check.verdict == ReplyVerdict::NotPending)
        return reply;
    if (reply.check.verdict != ReplyVerdict::Accepted) {
        reply.rejected = true;
        return reply;
    }
    switch (pending.kind) {
    case RequestKind::Measurement:
        reply.values = measurementValues(block);
        if (reply.values.size() > std::size_t(kValueBoxCount))
            reply.values.resize(kValueBoxCount);
        break;
    case RequestKind::AddressChange:
        reply.address = std::uint8_t(block[kEchoedAddressIndex]);
        break;
    case RequestKind::AddressRead:
    case RequestKind::ParameterWrite:
        reply.address = std::uint8_t(block[kAnsweringAddressIndex]);
        break;
    case RequestKind::None:
        break;
    }
    return reply;
}

} // namespace modbus
