#pragma once

#include <array>

// The module's serial line and the port numbers that reach it. Header-only and Qt-free, so that
// the simulated module uses the same numbers.

// The baud rates the module offers, and the one it comes with (the window's start-up rate).
inline constexpr std::array<int, 4> kModuleBaudRates{2400, 4800, 9600, 19200};
inline constexpr int kDefaultBaudRate = 9600;
// The fastest line speed a settings text or the simulator's --baud takes.
inline constexpr int kHighestLineSpeed = 4'000'000;

// Port numbers: COM1..COM255 (the window's list shows COM1..COM25).
inline constexpr int kLowestPortNumber = 1;
inline constexpr int kHighestPortNumber = 255;
