#pragma once

#include "line_facts.h"
#include "wire_time.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

// The serial settings text "<baud>,<parity>,<data bits>,<stop bits>", e.g. "9600,N,8,1".
struct LineSettings {
    int baudRate = kDefaultBaudRate;
    char parity = 'N'; // N, E, O, M or S
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2; "1.5" is kept as 3
    bool operator==(const LineSettings &) const = default;
};

std::optional<LineSettings> parseLineSettings(QStringView text);

// The only line format the tool applies: the baud rate followed by ",N,8,1".
QString settingsText(int baudRate);
