#pragma once

#include "module_protocol.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The frames the three programs exchange with the module: every request they send, built with
// its CRC (Modbus RTU) or its MBAP header (Modbus TCP), and a reply's parts by name. Qt-free, so
// that the simulated module builds and reads its frames by the same rules.
namespace modbus {

using ByteView = std::span<const std::uint8_t>;

// CRC-16/MODBUS over the bytes: init 0xFFFF, polynomial 0xA001, no final XOR. The low-order byte
// is sent first.
std::uint16_t crc16Modbus(ByteView bytes);

// An RTU frame: the slave address, the function code and its data, then the CRC's two bytes.
// Every request is six header bytes and its CRC; an exception reply is three bytes and its CRC.
inline constexpr int kHeaderLength = 6;
inline constexpr int kCrcLength = 2;
inline constexpr int kRequestLength = kHeaderLength + kCrcLength;
inline constexpr int kExceptionReplyLength = 3 + kCrcLength;
inline constexpr int kCrcLastIndex = kHeaderLength - 1;
using Frame = std::array<std::uint8_t, kRequestLength>;

// Modbus TCP: the MBAP header (transaction id, protocol id 0, the length of what follows) and the
// unit id, then the PDU; no CRC.
inline constexpr int kMbapLength = 7;
inline constexpr int kMbapLengthFieldEnd = 6;      // where the counted bytes start: the unit id
inline constexpr int kLongestUnitAndPdu = 1 + 253; // the unit id and the longest PDU
inline constexpr int kLongestRtuFrame = kLongestUnitAndPdu + kCrcLength;

// What a request means to the window: the measurement read, the address change, the address read
// or a parameter write.
enum class RequestKind { None, Measurement, AddressChange, AddressRead, ParameterWrite };

// One request: the slave address, the function code and its two 16-bit words, a read's first
// register and register count or a write's register and value.
class Request {
public:
    constexpr Request() = default;

    // A read of `count` registers from `first`, with the function given (the window's measurement
    // sends the function code the technician typed).
    static constexpr Request measurement(std::uint8_t slave, std::uint8_t function,
                                         std::uint16_t first, std::uint16_t count) {
        return {RequestKind::Measurement, slave, function, first, count};
    }
    static constexpr Request readRegisters(std::uint8_t slave, std::uint16_t first,
                                           std::uint16_t count) {
        return measurement(slave, kReadHoldingRegisters, first, count);
    }
    // One register from register 0: the reply's address byte tells who answered.
    static constexpr Request addressRead(std::uint8_t slave) {
        return {RequestKind::AddressRead, slave, kReadHoldingRegisters, kAddressReadRegister, 1};
    }
    // The module at `from` is to answer at `to` from now on.
    static constexpr Request addressChange(std::uint8_t from, std::uint8_t to) {
        return {RequestKind::AddressChange, from, kWriteSingleRegister, kSlaveAddressRegister, to};
    }
    static constexpr Request parameterWrite(std::uint8_t slave, std::uint16_t registerAddress,
                                            std::uint16_t value) {
        return {RequestKind::ParameterWrite, slave, kWriteSingleRegister, registerAddress, value};
    }
    // The request whose header the bytes begin with, as a module reads it (no CRC check): a read
    // counts as a measurement, a write of the address register as an address change. Empty when
    // fewer than six bytes are there.
    static std::optional<Request> parse(ByteView header);

    constexpr RequestKind kind() const { return kind_; }
    constexpr std::uint8_t slave() const { return slave_; }
    constexpr std::uint8_t function() const { return function_; }
    // A read's first register, a write's register.
    constexpr std::uint16_t registerAddress() const { return first_; }
    // A read's register count, a write's value (the same word of the frame).
    constexpr std::uint16_t registerCount() const { return second_; }
    constexpr std::uint16_t value() const { return second_; }
    // Its reply carries registers (a read) rather than the echo of a write.
    constexpr bool asksForRegisters() const {
        return kind_ == RequestKind::Measurement || kind_ == RequestKind::AddressRead;
    }

    std::array<std::uint8_t, kHeaderLength> header() const;
    // The RTU frame: the header and its CRC.
    Frame rtu() const;
    // The Modbus TCP ADU: the MBAP header with this transaction id, the unit id and the PDU.
    std::vector<std::uint8_t> tcp(std::uint16_t transactionId) const;
    // The RTU reply it asks for: 2N + 5 bytes for a read of N registers, 8 for a write's echo.
    int replyLength() const;

    constexpr bool operator==(const Request &) const = default;

private:
    constexpr Request(RequestKind kind, std::uint8_t slave, std::uint8_t function,
                      std::uint16_t first, std::uint16_t second)
        : kind_(kind), slave_(slave), function_(function), first_(first), second_(second) {}

    RequestKind kind_ = RequestKind::None;
    std::uint8_t slave_ = 0;
    std::uint8_t function_ = 0;
    std::uint16_t first_ = 0;
    std::uint16_t second_ = 0;
};

// A reply's parts, from its slave address (Modbus TCP: unit id) on. A part the bytes do not reach
// reads as 0.
class ReplyFrame {
public:
    explicit ReplyFrame(ByteView bytes) : bytes_(bytes) {}

    std::uint8_t slave() const { return byteAt(0); }
    std::uint8_t function() const { return byteAt(1); }
    bool isException() const { return bytes_.size() > 1 && (function() & kExceptionFlag); }
    std::uint8_t exceptionCode() const { return byteAt(2); }
    // A read reply's byte count and its register values: as many whole pairs as the count
    // announces and the bytes hold.
    std::uint8_t byteCount() const { return byteAt(2); }
    std::vector<std::uint16_t> registers() const;
    // A write's echo: the register and value it repeats.
    std::uint16_t echoedRegister() const { return wordAt(2); }
    std::uint16_t echoedValue() const { return wordAt(4); }

private:
    std::uint8_t byteAt(std::size_t index) const {
        return index < bytes_.size() ? bytes_[index] : 0;
    }
    std::uint16_t wordAt(std::size_t index) const {
        return std::uint16_t(byteAt(index) << 8 | byteAt(index + 1));
    }

    ByteView bytes_;
};

// The bytes followed by their CRC: an RTU frame of a unit id and PDU.
std::vector<std::uint8_t> withCrc(ByteView unitAndPdu);

// The MBAP header at the start of a Modbus TCP ADU.
struct MbapHeader {
    std::uint16_t transactionId = 0;
    std::uint16_t protocolId = 0;
    std::uint16_t length = 0; // of the unit id and the PDU that follow
    // The whole ADU's length.
    int aduLength() const { return kMbapLengthFieldEnd + length; }
};
// The header, once its six bytes are there.
std::optional<MbapHeader> mbapHeader(ByteView adu);
// A Modbus TCP ADU of the unit id and PDU, under this transaction id.
std::vector<std::uint8_t> tcpAdu(std::uint16_t transactionId, ByteView unitAndPdu);

} // namespace modbus
