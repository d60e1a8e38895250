#pragma once

#include "core/exchange_record.h"

#include <QDateTime>
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
    // A regular file (new or existing, or a link to one), appended to; a pipe with a program
    // reading from it; a folder, where this run gets a new file of its own (openInFolder); or
    // /dev/null, which keeps nothing. The header when the file is empty. nullptr and a one-line
    // reason for anything else (another device, a pipe nobody reads) and when it cannot be opened
    // or written; a pipe is never waited for.
    static std::unique_ptr<CsvLog> open(const QString &path, QString &error);

    // A new file in `folder` named by the run's start (runFileName), created exclusively: a
    // name another run took is never opened, the next free one is used.
    static std::unique_ptr<CsvLog> openInFolder(const QString &folder, const QDateTime &start,
                                                QString &error);

    // A run's file in documentsFolder(), which is made when missing.
    static std::unique_ptr<CsvLog> openInDocuments(QString &error);

    // documentsFolderName() in the user's documents folder (XDG_DOCUMENTS_DIR of
    // user-dirs.dirs, else ~/Documents).
    static QString documentsFolder();
    static QString documentsFolderName();

    // gx7140r-2026-12-07T10-24-08.348Z.csv: the start in UTC, so that the names sort by time all
    // year round, with no ':' (refused by some file systems); "_2", "_3"... before ".csv" for
    // the second, third... run that started in the same millisecond.
    static QString runFileName(const QDateTime &start, int run);

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
