#pragma once

#include "core/exchange_record.h"

#include <QIODevice>
#include <QString>

#include <memory>

// The exchange log's file (--log): CSV records appended one line at a time, each handed to the
// system as it is written, so that a crash loses at most the line being written. The header line
// goes first when the file is new or empty.
class CsvLog {
public:
    // Opens the file for appending (creating it) and writes the header when it is empty; nullptr
    // and a one-line reason when it cannot be opened or written.
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

    std::unique_ptr<QIODevice> device_;
    QString error_;
};
