#pragma once

#include "core/exchange_record.h"

#include <QIODevice>
#include <QString>

#include <memory>

class QFileDevice;

// The exchange log's file (--log): CSV records appended one line at a time, each handed to the
// system as it is written, so that a crash loses at most the line being written. The header line
// goes first when the file is new or empty. A write that fails closes the log; a regular file is
// cut back to its last whole line, so that no half record stays behind.
class CsvLog {
public:
    // A regular file (new or existing, or a link to one), appended to, or a pipe with a program
    // reading from it; the header when the file is empty. nullptr and a one-line reason for
    // anything else (a directory, a device, a pipe nobody reads) and when it cannot be opened or
    // written; a pipe is never waited for.
    static std::unique_ptr<CsvLog> open(const QString &path, QString &error);

    // On a device open for writing (in tests, one that fails when told to).
    explicit CsvLog(std::unique_ptr<QIODevice> device);

    bool writeHeaderIfEmpty();
    // False when this write or an earlier one failed: the device is closed, nothing more is
    // written.
    bool append(const modbus::ExchangeRecord &record);
    QString errorString() const { return error_; }

private:
    bool writeLine(const QString &line);
    bool writeBytes(const QByteArray &bytes);
    bool fail(QFileDevice *cutBack, qint64 wholeLinesEnd);

    std::unique_ptr<QIODevice> device_;
    QString error_;
};
