#include "frame_codec.h"

#include <algorithm>

namespace modbus {

CrcBytes Crc16(std::span<const std::uint8_t> cmdstring, int j) {
    const auto covered =
        std::clamp<std::ptrdiff_t>(std::ptrdiff_t(j) + 1, 0, std::ptrdiff_t(cmdstring.size()));
    const std::uint16_t crc = crc16Modbus(cmdstring.first(std::size_t(covered)));
    return CrcBytes{crc & 0xFF, std::uint8_t(crc >> 8)};
}

QString FormatHex(std::uint8_t bb) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const QChar pair[2] = {QChar(digits[bb >> 4]), QChar(digits[bb & 0x0F])};
    return QString(pair, 2);
}

QString requestHexText(const Frame &frame) {
    QString text;
    text.reserve(int(frame.size()) * 3);
    for (const std::uint8_t byte : frame)
        text += FormatHex(byte) + u' ';
    return text;
}

QString replyHexText(const QByteArray &block) {
    QString text;
    text.reserve(block.size() * 3);
    for (const char byte : block)
        text += u' ' + FormatHex(std::uint8_t(byte));
    return text;
}

} // namespace modbus
