#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <span>

// Frame layout, CRC-16/MODBUS and the hexadecimal display of requests and replies.
namespace modbus {

// Every request is eight bytes: six header bytes, then the CRC low-order and high-order byte.
using Frame = std::array<std::uint8_t, 8>;
inline constexpr int kCrcLastIndex = 5;

// The register after CRC-16/MODBUS over all the bytes (init 0xFFFF, poly 0xA001, no final XOR).
std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes);
std::uint16_t crc16Modbus(const QByteArray &bytes);

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

} // namespace modbus
