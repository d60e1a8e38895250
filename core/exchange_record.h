#pragma once

#include "module_map.h"
#include "reply_check.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One event of the exchange with the module as it is recorded: a CSV line of the window's log and
// of the command line's csv output alike, so both feed the same spreadsheet. Pure: no widgets.
namespace modbus {

struct ExchangeRecord {
    enum class Event { Request, Reply, Line };
    enum class Status {
        None, // line events
        Sent,
        NotSent, // the port was closed
        Accepted,
        Rejected,
        Undecoded, // nothing was pending
    };
    QDateTime time;
    Event event = Event::Request;
    RequestKind kind = RequestKind::None; // what was asked
    QByteArray request;                   // the request frame (requests)
    QByteArray reply; // the frame a reply was found to be, else the received block
    Status status = Status::None;
    RegisterValues registers;   // an accepted measurement, by register address
    std::optional<int> address; // the slave address the row is about, where it has one
    QString note;               // free text: why a reply was rejected, what happened on the line
};

// "measurement", "address-change", "address-read", "parameter-write", or "none" before the first
// request.
QString kindName(RequestKind kind);
// "sent", "not-sent", "accepted", "rejected", "undecoded", or empty.
QString statusName(ExchangeRecord::Status status);

// Every kind of request and every status a record gets, in the enums' order, without the None of
// each: for texts that list them. Each comes from the enum through the switch that names its
// values, so that a value added to the enum is listed once it has its name.
QList<RequestKind> everyRequestKind();
QList<ExchangeRecord::Status> everyStatus();

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
// Why a reply is not the answer to the request, as the check found it: "exception 02 (illegal
// data address)", "CRC mismatch", "cut short", "unexpected function 04", "a reply from address
// 2", "byte count 22 for 10 registers", "the module answered with address 42: check with
// 读地址"... Empty for an accepted reply.
QString replyProblem(const Request &request, const ReplyCheck &check);
// The record's note: the problem, and the bytes that followed a whole frame ("2 bytes after the
// frame: 55 AA").
QString replyNote(const Request &request, const ReplyCheck &check, const QByteArray &block);

} // namespace modbus
