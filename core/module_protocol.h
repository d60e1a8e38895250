#pragma once

#include <cstdint>

// The numbers of the Modbus RTU exchange with the GX7140R module: function codes, registers, the
// window's pending kinds and the lengths of the replies.
namespace modbus {

inline constexpr std::uint8_t kReadHoldingRegisters = 0x03;
inline constexpr std::uint8_t kWriteSingleRegister = 0x06;
inline constexpr std::uint8_t kExceptionFlag = 0x80;

// Register 0x0B00 holds the module's slave address; the address read reads one register from 0
// and learns the address from who answers. Configuration registers 0x0A02..0x0A07: module_map.h.
inline constexpr std::uint16_t kSlaveAddressRegister = 0x0B00;
inline constexpr std::uint16_t kAddressReadRegister = 0x0000;

// Kind of the pending request as the window keeps it (CmdType). The address read and the
// parameter write share 6.
inline constexpr int kNoRequest = 0;
inline constexpr int kMeasurementRead = 1;
inline constexpr int kAddressChange = 5;
inline constexpr int kAddressReadOrParameterWrite = 6;

// Reply lengths: 2N + 5 bytes for a read of N registers (address, function, byte count, the
// registers, CRC), 8 for the echo of a one-register write.
constexpr int readReplyLength(int registerCount) {
    return 2 * registerCount + 5;
}
inline constexpr int kWriteEchoLength = 8;

// Registers shown by the measurement decoder: positions 0..7 have a value box.
inline constexpr int kValueBoxCount = 8;
inline constexpr std::uint16_t kNoValueMarker = 0xFFFF; // shown as 0

} // namespace modbus
