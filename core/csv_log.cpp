#include "csv_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

// Runs of one millisecond given a file each before the folder is taken as unusable.
constexpr int kRunsInOneMillisecond = 1000;

QString cannotOpen(const QString &path, const QString &reason) {
    return QStringLiteral("cannot open the log file '%1': %2").arg(path, reason);
}

QString cannotWrite(const QString &path, const QString &reason) {
    return QStringLiteral("cannot write the log file '%1': %2").arg(path, reason);
}

// True when the file is empty or its last byte ends a line; a file that cannot be read is taken as
// whole (nothing to mend that could be seen).
bool endsWithWholeLine(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || !file.seek(file.size() - 1))
        return true;
    char last = '\n';
    return !file.getChar(&last) || last == '\n';
}

#ifdef Q_OS_UNIX
// What the path leads to: nothing yet (a new file), a regular file, a pipe, the null device, or
// something else.
enum class Target { Missing, File, Pipe, Null, Other, Unknown };

// The null device by its number (character device 1,3), whatever the name that leads to it.
bool isNullDevice(const struct stat &info) {
    return S_ISCHR(info.st_mode) && major(info.st_rdev) == 1 && minor(info.st_rdev) == 3;
}

Target targetOf(const QByteArray &nativePath, int &error) {
    struct stat info {};
    if (::stat(nativePath.constData(), &info) != 0) {
        error = errno;
        return error == ENOENT ? Target::Missing : Target::Unknown;
    }
    if (S_ISREG(info.st_mode))
        return Target::File;
    if (S_ISFIFO(info.st_mode))
        return Target::Pipe;
    return isNullDevice(info) ? Target::Null : Target::Other;
}

// The descriptor `open` gave for `path` as a file written unbuffered; nullptr and why when the
// open failed (errno still its own).
std::unique_ptr<QFile> fileOf(int fd, const QString &path, QString &error) {
    if (fd < 0) {
        error = cannotOpen(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = cannotOpen(path, file->errorString());
        return nullptr;
    }
    return file;
}

// A pipe opened without waiting: with no reader there the open fails at once (ENXIO) where a
// plain open would block until one comes. Writes stay non-blocking: a reader that stops reading
// fails a write (the log stops) instead of freezing the window.
std::unique_ptr<QFile> openPipe(const QString &path, QString &error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENXIO) {
        error = cannotOpen(path, QStringLiteral("no program reads from that pipe"));
        return nullptr;
    }
    return fileOf(fd, path, error);
}

// Opened as it is: a device has no end to append at (QFile's Append would try to seek to it).
std::unique_ptr<QFile> openNullDevice(const QString &path, QString &error) {
    return fileOf(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC), path, error);
}
#endif

// Appended to, created when new. Unbuffered: every line goes to the system at once.
std::unique_ptr<QFile> openFile(const QString &path, QString &error) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::Append | QIODevice::Unbuffered)) {
        error = cannotOpen(path, file->errorString());
        return nullptr;
    }
    return file;
}

std::unique_ptr<QFile> openTarget(const QString &path, QString &error) {
#ifdef Q_OS_UNIX
    int statError = 0;
    switch (targetOf(QFile::encodeName(path), statError)) {
    case Target::Missing:
    case Target::File:
        return openFile(path, error);
    case Target::Null: // takes every line and keeps none
        return openNullDevice(path, error);
    case Target::Pipe:
        return openPipe(path, error);
    case Target::Other:
        error = cannotOpen(path, QStringLiteral("not a regular file or a pipe"));
        return nullptr;
    case Target::Unknown:
        error = cannotOpen(path, QString::fromLocal8Bit(std::strerror(statError)));
        return nullptr;
    }
    return nullptr;
#else
    return openFile(path, error);
#endif
}

} // namespace

std::unique_ptr<CsvLog> CsvLog::open(const QString &path, QString &error) {
    if (QFileInfo(path).isDir())
        return openInFolder(path, QDateTime::currentDateTimeUtc(), error);
    if (path.endsWith(u'/')) { // meant as a folder, and none is there: never made a file
        error = cannotOpen(path, QStringLiteral("no such folder"));
        return nullptr;
    }
    const QFileInfo before(path);
    const bool madeHere = !before.exists() && !before.isSymLink();
    std::unique_ptr<QFile> file = openTarget(path, error);
    if (!file)
        return nullptr;
    // A file that ends in half a line (an earlier run stopped mid-write) gets its line ended
    // first, so that the next record starts a row of its own.
    const bool mendLastLine = !file->isSequential() && !endsWithWholeLine(path);
    auto log = std::make_unique<CsvLog>(std::move(file));
    if ((mendLastLine && !log->writeBytes(modbus::kCsvLineEnd.toUtf8())) ||
        !log->writeHeaderIfEmpty()) {
        error = cannotWrite(path, log->errorString());
        if (madeHere) // not even its header: no file is left behind for a log that never was
            QFile::remove(path);
        return nullptr;
    }
    return log;
}

std::unique_ptr<CsvLog> CsvLog::openInFolder(const QString &folder, const QDateTime &start,
                                             QString &error) {
    const QDir dir(folder);
    for (int run = 1; run <= kRunsInOneMillisecond; ++run) {
        const QString path = dir.filePath(runFileName(start, run));
        auto file = std::make_unique<QFile>(path);
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            auto log = std::make_unique<CsvLog>(std::move(file));
            if (log->writeHeaderIfEmpty())
                return log;
            error = cannotWrite(path, log->errorString());
            QFile::remove(path); // this run's own file, with not even a header in it
            return nullptr;
        }
        const QFileInfo taken(path);
        if (!taken.exists() && !taken.isSymLink()) {
            error = cannotOpen(path, file->errorString());
            return nullptr;
        }
    }
    error = cannotOpen(dir.filePath(runFileName(start, kRunsInOneMillisecond)),
                       QStringLiteral("every name of that millisecond is taken"));
    return nullptr;
}

std::unique_ptr<CsvLog> CsvLog::openInDocuments(QString &error) {
    const QString folder = documentsFolder();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the log folder '%1'").arg(folder);
        return nullptr;
    }
    return openInFolder(folder, QDateTime::currentDateTimeUtc(), error);
}

QString CsvLog::documentsFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(documentsFolderName());
}

QString CsvLog::documentsFolderName() {
    return QStringLiteral("gx7140r-tool logs");
}

QString CsvLog::runFileName(const QDateTime &start, int run) {
    const QString time = start.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss.zzz'Z'"));
    const QString suffix = run > 1 ? QStringLiteral("_%1").arg(run) : QString();
    return QStringLiteral("gx7140r-%1%2.csv").arg(time, suffix);
}

CsvLog::CsvLog(std::unique_ptr<QIODevice> device) : device_(std::move(device)) {}

bool CsvLog::writeHeaderIfEmpty() {
    return !device_ || device_->size() > 0 || writeLine(modbus::csvHeader());
}

bool CsvLog::append(const modbus::ExchangeRecord &record) {
    return writeLine(modbus::csvLine(record));
}

bool CsvLog::writeLine(const QString &line) {
    return writeBytes((line + modbus::kCsvLineEnd).toUtf8());
}

bool CsvLog::writeBytes(const QByteArray &bytes) {
    if (!device_)
        return false;
    auto *file = qobject_cast<QFileDevice *>(device_.get());
    const bool canCutBack = file && !file->isSequential();
    const qint64 wholeLinesEnd = canCutBack ? file->size() : 0;
    // A write may take only part of the bytes (a disk that fills up): the rest is offered again,
    // and the refusal that follows says why.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = device_->write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            return fail(canCutBack ? file : nullptr, wholeLinesEnd);
        written += step;
    }
    return true;
}

bool CsvLog::fail(QFileDevice *cutBack, qint64 wholeLinesEnd) {
    error_ = device_->errorString();
    // No half record left behind where the file can be cut back to its last whole line.
    if (cutBack && cutBack->size() > wholeLinesEnd)
        cutBack->resize(wholeLinesEnd);
    device_.reset();
    return false;
}
