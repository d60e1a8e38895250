#pragma once

#include "cli_options.h"
#include "core/exchange_record.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What the command line prints of an exchange: a record of the window's log (modbus/
// exchange_record.h) in one of three formats. Every text returned ends with its line end.
namespace cli {

modbus::ExchangeRecord measurementRecord(const QDateTime &time, int address,
                                         const std::vector<std::uint16_t> &registers);
modbus::ExchangeRecord addressRecord(const QDateTime &time, modbus::RequestKind kind, int address);
modbus::ExchangeRecord settingRecord(const QDateTime &time, int address,
                                     const modbus::ModuleField &field, std::uint16_t value);
modbus::ExchangeRecord failedRecord(const QDateTime &time, modbus::RequestKind kind, int address,
                                    const QString &reason);

// Text as a block, one "name value unit" line per value (read, address, set), or as one line
// after the timestamp (poll).
enum class TextLayout { Block, Line };

// The CSV header before the records; nothing in the other formats.
QString recordHeader(Format format);
// csv: the window's log line; json: one object with time, kind, status, address, the registers by
// field name and, for a failure, error; text: the values (a failure is not printed as text).
QString formatRecord(const modbus::ExchangeRecord &record, Format format, TextLayout layout);

// A module found by the scan, with the rate it answered at (none over Modbus TCP).
QString scanHeader(Format format, bool withBaud);
QString formatFind(int address, std::optional<int> baud, Format format);

} // namespace cli
