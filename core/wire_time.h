#pragma once

#include <chrono>
#include <cstdint>

// How long bytes take on the module's N,8,1 line: 10 bits each (start, 8 data, stop). Header-only
// and Qt-free, so that the simulated module times the line by the same rule.
namespace modbus {

inline constexpr int kBitsPerByte = 10;

// The time `bits` take at `baudRate`, rounded up.
constexpr std::chrono::nanoseconds bitTime(std::int64_t bits, int baudRate) {
    return std::chrono::nanoseconds((bits * 1'000'000'000 + baudRate - 1) / baudRate);
}

constexpr std::chrono::nanoseconds wireTime(int bytes, int baudRate) {
    return bitTime(std::int64_t(bytes) * kBitsPerByte, baudRate);
}

// The silence that ends a Modbus RTU frame: 3.5 character times.
constexpr std::chrono::nanoseconds frameGap(int baudRate) {
    return bitTime(35, baudRate);
}

} // namespace modbus

// The time bytes take on the line, in microseconds rounded up.
constexpr std::int64_t wireTimeMicroseconds(int bytes, int baudRate) {
    return (std::int64_t(bytes) * modbus::kBitsPerByte * 1'000'000 + baudRate - 1) / baudRate;
}
