#include "reply_decoder.h"

#include "frame_codec.h"
#include "module_protocol.h"

#include <algorithm>

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

DecodedReply decodeReply(const QByteArray &block, int cmdType) {
    DecodedReply reply;
    reply.hexText = replyHexText(block);
    switch (cmdType) {
    case kMeasurementRead:
        if (!isWholeReadReply(block)) {
            reply.rejected = true;
            break;
        }
        reply.values = measurementValues(block);
        if (reply.values.size() > std::size_t(kValueBoxCount))
            reply.values.resize(kValueBoxCount);
        break;
    case kAddressChange:
        if (isWholeWriteEcho(block))
            reply.address = std::uint8_t(block[kEchoedAddressIndex]);
        else
            reply.rejected = true;
        break;
    case kAddressReadOrParameterWrite:
        if (isWholeOneRegisterReply(block) || isWholeWriteEcho(block))
            reply.address = std::uint8_t(block[kAnsweringAddressIndex]);
        else
            reply.rejected = true;
        break;
    default:
        break;
    }
    return reply;
}

} // namespace modbus
