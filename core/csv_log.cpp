#include "csv_log.h"

#include <QFile>
#include <QFileInfo>

std::unique_ptr<CsvLog> CsvLog::open(const QString &path, QString &error) {
    auto file = std::make_unique<QFile>(path);
    // A file is appended to; a device or a pipe (/dev/stdout) cannot seek and is written as it is.
    // Unbuffered: every line goes to the system at once, not when a buffer fills.
    const bool regularFile = !QFileInfo::exists(path) || QFileInfo(path).isFile();
    const auto mode = regularFile ? QIODevice::Append : QIODevice::WriteOnly;
    if (!file->open(mode | QIODevice::Unbuffered)) {
        error = QStringLiteral("cannot open the log file '%1': %2").arg(path, file->errorString());
        return nullptr;
    }
    auto log = std::make_unique<CsvLog>(std::move(file));
    if (!log->writeHeaderIfEmpty()) {
        error = QStringLiteral("cannot write the log file '%1': %2").arg(path, log->errorString());
        return nullptr;
    }
    return log;
}

CsvLog::CsvLog(std::unique_ptr<QIODevice> device) : device_(std::move(device)) {}

bool CsvLog::writeHeaderIfEmpty() {
    return !device_ || device_->size() > 0 || writeLine(modbus::csvHeader());
}

bool CsvLog::append(const modbus::ExchangeRecord &record) {
    return writeLine(modbus::csvLine(record));
}

bool CsvLog::writeLine(const QString &line) {
    if (!device_)
        return false;
    const QByteArray bytes = (line + modbus::kCsvLineEnd).toUtf8();
    if (device_->write(bytes) == bytes.size())
        return true;
    error_ = device_->errorString();
    device_.reset();
    return false;
}
