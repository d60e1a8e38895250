#pragma once

#include <cstdint>

// The numbers of the Modbus RTU exchange with the GX7140R module: function codes, registers,
// reply kinds and the receive thresholds each request arms.
namespace modbus {

inline constexpr std::uint8_t kReadHoldingRegisters = 0x03;
inline constexpr std::uint8_t kWriteSingleRegister = 0x06;
inline constexpr std::uint8_t kExceptionFlag = 0x80;

// Register 0x0B00 holds the module's slave address.
inline constexpr std::uint8_t kAddressRegisterHigh = 0x0B;
inline constexpr std::uint8_t kAddressRegisterLow = 0x00;
// Configuration registers 0x0A02..0x0A07 (module_map.h): set button i writes 0x0A00 + i + 2.

// Kind of the pending request (the window's CmdType).
inline constexpr int kNoRequest = 0;
inline constexpr int kMeasurementRead = 1;
inline constexpr int kAddressChange = 5;
inline constexpr int kAddressReadOrParameterWrite = 6;

// Reply lengths: 2N + 5 bytes for a read of N registers, 8 for the echo of a one-register write
// (see expectedReplyLength in reply_check.h).
constexpr int readReplyLength(int registerCount) {
    return 2 * registerCount + 5;
}
inline constexpr int kWriteEchoLength = 8;

// Reply bytes the configuration decoders use.
inline constexpr int kEchoedAddressIndex = 5;
inline constexpr int kAnsweringAddressIndex = 0;

// Registers shown by the measurement decoder: positions 0..7 have a value box.
inline constexpr int kValueBoxCount = 8;
inline constexpr std::uint16_t kNoValueMarker = 0xFFFF; // shown as 0

} // namespace modbus
