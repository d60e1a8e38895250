#pragma once

#include "modbus_frame.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

// The frames as the window shows them (CRC bytes under the window's names, hexadecimal text), and
// the frame type's bytes as Qt holds them.
namespace modbus {

// What Crc16 leaves for the request builders. The names are the window's own: HiByte carries the
// CRC's low-order byte (sent first) and LoByte its high-order byte (sent second).
struct CrcBytes {
    int HiByte = 0xFF;
    std::uint8_t LoByte = 0xFF;
};

// CRC over cmdstring[0..j]; a negative j covers nothing and leaves 0xFFFF.
CrcBytes Crc16(std::span<const std::uint8_t> cmdstring, int j);

// One byte as exactly two upper-case hexadecimal digits.
QString FormatHex(std::uint8_t bb);

// A request as shown in txtCommand: each byte's two digits followed by one blank.
QString requestHexText(const Frame &frame);
// A received block as shown in txtState: one blank, then the byte's two digits, per byte.
QString replyHexText(const QByteArray &block);

// The bytes of a QByteArray, and back.
inline ByteView bytesOf(const QByteArray &bytes) {
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}
inline QByteArray byteArrayOf(ByteView bytes) {
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace modbus
