#pragma once

#include <QStringView>

#include <cstdint>

// The checks every entry made by a user goes through before anything is built from it: the
// window's boxes and the command line's arguments alike. Pure: nothing here touches a widget.
namespace modbus {

enum class InputProblem {
    None,
    SourceAddressMalformed, // the present (or station) address is not a number
    TargetAddressMalformed, // the new address is not a number
    AddressZero,            // an address that is 0 (or below)
    AddressTooHigh,         // a new address above 250, or any address above 255
    ValueMalformed,         // a register value that is not a number or does not fit 16 bits
    IntervalMalformed,      // a polling interval that is not a number
    IntervalOutOfRange,     // a polling interval outside 50..60000 ms
};

struct AddressChangeInput {
    InputProblem problem = InputProblem::None;
    std::uint8_t source = 0;
    std::uint8_t target = 0;
};
// The address change: both texts numeric, each rounded down; the new address 1..250, the present
// one 1..255. The first check that fails names the problem.
AddressChangeInput checkAddressChange(QStringView source, QStringView target);

struct ByteInput {
    InputProblem problem = InputProblem::None;
    std::uint8_t value = 0;
};
// The station address of a configuration request: numeric, nearest integer (halves to even),
// 0..255.
ByteInput checkStationAddress(QStringView text);

struct RegisterInput {
    InputProblem problem = InputProblem::None;
    std::uint16_t value = 0;
};
// A configuration value: numeric, held in single precision, 65536 added when negative, nearest
// integer (halves to even), 0..65535. The range hints beside the boxes are not enforced.
RegisterInput checkParameterValue(QStringView text);

inline constexpr int kShortestPollInterval = 50;
inline constexpr int kLongestPollInterval = 60000;
struct IntervalInput {
    InputProblem problem = InputProblem::None;
    int milliseconds = 0; // the nearest integer (halves to even); checked rounded down
};
IntervalInput checkPollInterval(QStringView text);

} // namespace modbus
