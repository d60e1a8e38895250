#pragma once

#include "module_map.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// One event of the exchange with the module as it is recorded: a CSV line of the window's log and
// of the command line's csv output alike, so both feed the same spreadsheet. Pure: no widgets.
namespace modbus {

struct ExchangeRecord {
    enum class Event { Request, Reply, Line };
    QDateTime time;
    Event event = Event::Request;
    QString kind;               // kindName(): what was asked
    QByteArray request;         // the request frame (requests)
    QByteArray reply;           // the received block (replies)
    QString status;             // see the k...Status texts below
    RegisterValues registers;   // an accepted measurement, by register address
    std::optional<int> address; // the module's address from an accepted configuration reply
    QString note;               // free text: why a reply was rejected, what happened on the line
};

inline const QString kSentStatus = QStringLiteral("sent");
inline const QString kNotSentStatus = QStringLiteral("not-sent"); // the port was closed
inline const QString kAcceptedStatus = QStringLiteral("accepted");
inline const QString kRejectedStatus = QStringLiteral("rejected");
inline const QString kUndecodedStatus = QStringLiteral("undecoded"); // nothing was pending

inline const QString kMeasurementKind = QStringLiteral("measurement");
inline const QString kAddressChangeKind = QStringLiteral("address-change");
inline const QString kAddressReadKind = QStringLiteral("address-read");
inline const QString kParameterWriteKind = QStringLiteral("parameter-write");

// One of the kinds above, or "none" before the first request; the address read and the parameter
// write share a pending kind, the request's function code tells them apart.
QString kindName(int cmdType, const QByteArray &request);

// The CSV header and one record, RFC 4180 (fields with a comma, a quote or a line break quoted,
// quotes doubled), without the line end. Columns: time (ISO 8601, local, milliseconds, offset),
// event, kind, request_hex, reply_hex, status, one column per register of the module map, address,
// note.
QString csvHeader();
QString csvLine(const ExchangeRecord &record);
inline const QString kCsvLineEnd = QStringLiteral("\r\n");

// "2026-12-07T09:41:05.123+08:00"
QString isoTimestamp(const QDateTime &time);
// "01 03 00 00 00 0A C5 CD"
QString spacedHex(const QByteArray &bytes);

// The Modbus exception code's name ("illegal data address"), or "exception 0x.." when unknown.
QString exceptionName(std::uint8_t code);
// "exception 02 (illegal data address)"
QString exceptionText(std::uint8_t code);
// Why a block was not accepted as the reply of that kind: "exception 02 (illegal data address)",
// "CRC mismatch", "cut short", "unexpected function 04"...
QString rejectionReason(const QByteArray &block, int cmdType);

} // namespace modbus
