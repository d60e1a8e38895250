#include "modbus_frame.h"

#include <algorithm>

namespace modbus {

namespace {
constexpr std::uint8_t highByte(std::uint16_t word) {
    return std::uint8_t(word >> 8);
}
constexpr std::uint8_t lowByte(std::uint16_t word) {
    return std::uint8_t(word & 0xFF);
}
constexpr std::uint16_t wordOf(std::uint8_t high, std::uint8_t low) {
    return std::uint16_t(high << 8 | low);
}
} // namespace

std::uint16_t crc16Modbus(ByteView bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

std::optional<Request> Request::parse(ByteView header) {
    if (header.size() < std::size_t(kHeaderLength))
        return std::nullopt;
    const std::uint8_t function = header[1];
    const std::uint16_t first = wordOf(header[2], header[3]);
    RequestKind kind = RequestKind::Measurement;
    if (function == kWriteSingleRegister)
        kind = first == kSlaveAddressRegister ? RequestKind::AddressChange
                                              : RequestKind::ParameterWrite;
    return Request{kind, header[0], function, first, wordOf(header[4], header[5])};
}

std::array<std::uint8_t, kHeaderLength> Request::header() const {
    return {slave_,          function_,         highByte(first_),
            lowByte(first_), highByte(second_), lowByte(second_)};
}

Frame Request::rtu() const {
    const auto bytes = header();
    const std::uint16_t crc = crc16Modbus(bytes);
    Frame frame{};
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    frame[kHeaderLength] = lowByte(crc);
    frame[kHeaderLength + 1] = highByte(crc);
    return frame;
}

std::vector<std::uint8_t> Request::tcp(std::uint16_t transactionId) const {
    return tcpAdu(transactionId, header());
}

int Request::replyLength() const {
    return asksForRegisters() ? readReplyLength(registerCount()) : kWriteEchoLength;
}

std::vector<std::uint16_t> ReplyFrame::registers() const {
    std::vector<std::uint16_t> values;
    if (bytes_.size() < 3)
        return values;
    const int positions = byteCount() / 2;
    for (int k = 0; k < positions; ++k) {
        const std::size_t i = 3 + 2 * std::size_t(k);
        if (i + 1 >= bytes_.size())
            break;
        values.push_back(wordAt(i));
    }
    return values;
}

std::vector<std::uint8_t> withCrc(ByteView unitAndPdu) {
    std::vector<std::uint8_t> frame(unitAndPdu.begin(), unitAndPdu.end());
    const std::uint16_t crc = crc16Modbus(unitAndPdu);
    frame.push_back(lowByte(crc));
    frame.push_back(highByte(crc));
    return frame;
}

std::optional<MbapHeader> mbapHeader(ByteView adu) {
    if (adu.size() < std::size_t(kMbapLengthFieldEnd))
        return std::nullopt;
    return MbapHeader{wordOf(adu[0], adu[1]), wordOf(adu[2], adu[3]), wordOf(adu[4], adu[5])};
}

std::vector<std::uint8_t> tcpAdu(std::uint16_t transactionId, ByteView unitAndPdu) {
    const auto length = std::uint16_t(unitAndPdu.size());
    const std::uint8_t header[kMbapLengthFieldEnd] = {
        highByte(transactionId), lowByte(transactionId), 0, 0, highByte(length), lowByte(length)};
    std::vector<std::uint8_t> adu(kMbapLengthFieldEnd + unitAndPdu.size());
    std::copy(std::begin(header), std::end(header), adu.begin());
    std::copy(unitAndPdu.begin(), unitAndPdu.end(), adu.begin() + kMbapLengthFieldEnd);
    return adu;
}

} // namespace modbus
