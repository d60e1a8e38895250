#pragma once

#include "module_protocol.h"
#include "reply_check.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What one received block means for the window, given the request it answers.
namespace modbus {

struct DecodedReply {
    QString hexText;       // for txtState
    bool rejected = false; // not the answer to the pending request: shown, never decoded
    ReplyCheck check;      // what the block was found to be
    std::vector<std::uint16_t> values;   // shown values of positions 0, 1, ... (boxes 0..7 only)
    std::optional<std::uint8_t> address; // the module's address from a configuration reply
};

// A register's value as the module's view shows it: 0xFFFF (no value) as 0.
constexpr std::uint16_t shownValue(std::uint16_t raw) {
    return raw == kNoValueMarker ? 0 : raw;
}

// The register values of a read reply as shown: position by position from byte 3 on, as many
// whole pairs as byte 2 announces and the block holds; 0xFFFF shown as 0.
std::vector<std::uint16_t> measurementValues(const QByteArray &block);

// Decodes a block that the window's policy takes as the answer to the pending request: the values
// of a measurement, the echoed new address of an address change (byte 5), the answering module's
// address of an address read or a parameter write (byte 0). Any other block is rejected; with
// nothing pending, nothing is decoded and nothing rejected.
DecodedReply decodeReply(const QByteArray &block, const Request &pending);
// A block that is not what a line that echoes was to give back of the request: shown, rejected.
DecodedReply echoDifferedReply(const QByteArray &block);

} // namespace modbus
