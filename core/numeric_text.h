#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// The numeric test and the number conversions every handler shares. Nothing here touches a widget.
namespace numeric {

// A text is numeric when, without the blanks (spaces, tabs) around it, it is one decimal number:
// optional sign, digits with an optional decimal point and fraction, an optional exponent.
// ASCII digits only, C locale, no hex, no "inf"/"nan". A value too large for a double is not
// numeric; one too small to represent becomes zero.
std::optional<double> parseNumber(QStringView text);
inline bool isNumeric(QStringView text) {
    return parseNumber(text).has_value();
}

// Round to the nearest integer, a half going to the even neighbour.
double nearestEven(double value);

// Each conversion reports (nullopt) when its result does not fit the target.
std::optional<std::uint8_t> floorToByte(double value);
std::optional<std::uint8_t> nearestToByte(double value);

// A register value as the parameter writes make it: the number held in single precision,
// 65536 added when negative, then rounded to the nearest integer (halves to even).
std::optional<std::uint16_t> wrappedRegisterValue(double value);
// The integer those steps make of the number, before it is checked to fit a register.
double wrappedRegisterNumber(double value);

// The text converted by one of the rules above, or nullopt when it is not numeric or does not fit.
std::optional<std::uint8_t> textFloorToByte(QStringView text);
std::optional<std::uint8_t> textNearestToByte(QStringView text);

} // namespace numeric
