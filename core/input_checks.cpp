#include "input_checks.h"

#include "core/numeric_text.h"
#include "module_map.h"

#include <cmath>
#include <limits>

namespace modbus {

AddressChangeInput checkAddressChange(QStringView sourceText, QStringView targetText) {
    const auto source = numeric::parseNumber(sourceText);
    if (!source)
        return {InputProblem::SourceAddressMalformed};
    const auto target = numeric::parseNumber(targetText);
    if (!target)
        return {InputProblem::TargetAddressMalformed};
    const double s = std::floor(*source);
    const double t = std::floor(*target);
    if (s == 0 || t == 0)
        return {InputProblem::AddressZero};
    if (t > kHighestModuleAddress)
        return {InputProblem::AddressTooHigh};
    // Addresses that pass those checks but do not fit the frame's byte are refused as well.
    if (s < 0 || t < 0)
        return {InputProblem::AddressZero};
    if (s > std::numeric_limits<std::uint8_t>::max())
        return {InputProblem::AddressTooHigh};
    return {InputProblem::None, std::uint8_t(s), std::uint8_t(t)};
}

ByteInput checkStationAddress(QStringView text) {
    const auto station = numeric::parseNumber(text);
    if (!station)
        return {InputProblem::SourceAddressMalformed};
    const auto address = numeric::nearestToByte(*station);
    if (!address) {
        return {*station > std::numeric_limits<std::uint8_t>::max() ? InputProblem::AddressTooHigh
                                                                    : InputProblem::AddressZero};
    }
    return {InputProblem::None, *address};
}

RegisterInput checkParameterValue(QStringView text) {
    const auto number = numeric::parseNumber(text);
    // A value that does not fit a register after the wrap (70000, -70000, -0.2) is refused too.
    const auto value = number ? numeric::wrappedRegisterValue(*number) : std::nullopt;
    if (!value)
        return {InputProblem::ValueMalformed};
    return {InputProblem::None, *value};
}

IntervalInput checkPollInterval(QStringView text) {
    const auto interval = numeric::parseNumber(text);
    if (!interval)
        return {InputProblem::IntervalMalformed};
    const double checked = std::floor(*interval);
    if (checked < kShortestPollInterval || checked > kLongestPollInterval)
        return {InputProblem::IntervalOutOfRange};
    return {InputProblem::None, int(numeric::nearestEven(*interval))};
}

} // namespace modbus
