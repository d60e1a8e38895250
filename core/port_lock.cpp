#include "port_lock.h"
#include "whole_digits.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#include <climits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The folders Qt's serial port tries, in its order.
const QStringList kLockFolders{QStringLiteral("/var/lock"),
                               QStringLiteral("/etc/locks"),
                               QStringLiteral("/var/spool/locks"),
                               QStringLiteral("/var/spool/uucp"),
                               QStringLiteral("/tmp"),
                               QStringLiteral("/var/tmp"),
                               QStringLiteral("/var/lock/lockdev"),
                               QStringLiteral("/run/lock")};

// A lock file is a line or three; more is not a lock any program here wrote.
constexpr qint64 kMostLockBytes = 512;
constexpr qsizetype kMostShownBytes = 40;
constexpr qsizetype kMostPidDigits = 10; // as the ten-character form writes them

// "/dev/pts/3" -> "pts/3", as the serial port names a device; other paths stay whole.
QString portNameOf(const QString &device) {
    const QString devices = QStringLiteral("/dev/");
    return device.startsWith(devices) ? device.mid(devices.size()) : device;
}

QString lockFileName(const QString &device) {
    return QStringLiteral("/LCK..") + portNameOf(device).replace(u'/', u'_');
}

// The bytes as a C string literal, cut after a few dozen: "\"12ab\\n\"", or "empty".
QString printable(const QByteArray &bytes) {
    if (bytes.isEmpty())
        return QStringLiteral("empty");
    QString text(u'"');
    for (const char byte : bytes.first(std::min(bytes.size(), kMostShownBytes))) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '\n')
            text += QStringLiteral("\\n");
        else if (byte == '"' || byte == '\\')
            text += u'\\' + QChar(byte);
        else if (code >= 0x20 && code < 0x7f)
            text += QChar(byte);
        else
            text += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
    text += u'"';
    return bytes.size() > kMostShownBytes ? text + QStringLiteral("...") : text;
}

// The process number that starts a lock file's first line: digits, alone or after blanks
// ("%10d"), and before the program's own words if any ("  1234 minicom user").
std::optional<qint64> pidOf(const QByteArray &firstLine) {
    const QByteArray word = firstLine.simplified().split(' ').value(0);
    if (word.size() > kMostPidDigits)
        return std::nullopt;
    const auto pid = numeric::parseDigits(word.toStdString(), 1, INT_MAX);
    if (!std::holds_alternative<std::int64_t>(pid))
        return std::nullopt;
    return std::get<std::int64_t>(pid);
}

bool processRuns(qint64 pid) {
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(pid);
    return true;
#endif
}

// A program's name as it may be shown on a terminal: anyone may write a lock file, and a process
// may name itself, so control characters (a terminal's escape sequences) are shown as '?'.
QString shownProgramName(QString name) {
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return name;
}

// The name the system knows the process by; empty when it does not say.
QString runningProgram(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

// The first bytes of the lock file at `path`; none, and why in `why`, when it cannot be read. A
// named pipe or a device put where a lock file belongs would hold up a plain open until a writer
// (or a carrier) comes: it is opened without waiting, and read only when it is a regular file.
std::optional<QByteArray> lockFileBytes(const QString &path, QString &why) {
    QFile file(path);
#ifdef Q_OS_UNIX
    const QString notAFile = QStringLiteral("not a regular file");
    const QByteArray native = QFile::encodeName(path);
    struct stat facts {};
    if (::stat(native.constData(), &facts) == 0 && !S_ISREG(facts.st_mode)) {
        why = notAFile; // not even opened: a device would notice
        return std::nullopt;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("unreadable: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        ::close(fd);
        why = notAFile;
        return std::nullopt;
    }
    const bool opened = file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (!opened)
        ::close(fd);
#else
    const bool opened = file.open(QIODevice::ReadOnly);
#endif
    if (!opened) {
        why = QStringLiteral("unreadable: %1").arg(file.errorString());
        return std::nullopt;
    }
    return file.read(kMostLockBytes);
}

std::optional<LockRefusal> refusalFrom(const QString &path, const LockFileReading &reading) {
    if (reading.state == LockFileReading::State::Live)
        return LockRefusal{
            LockRefusal::Kind::HeldByProcess, path, reading.pid, reading.program, {}};
    if (reading.state == LockFileReading::State::Unreadable)
        return LockRefusal{LockRefusal::Kind::UnreadableLock, path, 0, {}, reading.content};
    return std::nullopt;
}

std::optional<LockRefusal> clearStaleLockAt(const QString &path) {
    const LockFileReading reading = readLockFile(path);
    if (reading.state == LockFileReading::State::Dead)
        QFile::remove(path);
    return refusalFrom(path, reading);
}

} // namespace

QString LockRefusal::text() const {
    switch (kind) {
    case Kind::HeldByProcess:
        return program.isEmpty()
                   ? QStringLiteral("in use by process %1").arg(pid)
                   : QStringLiteral("in use by process %1 (%2)").arg(pid).arg(program);
    case Kind::UnreadableLock:
        return QStringLiteral("locked by %1, which names no process (%2): remove that file if no "
                              "program uses the port")
            .arg(path, content);
    case Kind::NoLockFolder:
        return QStringLiteral("no lock folder can hold a lock for %1").arg(path);
    case Kind::CannotLock:
        break;
    }
    return QStringLiteral("cannot take its lock %1").arg(path);
}

LockFileReading readLockFile(const QString &path) {
    LockFileReading reading;
    QFile file(path);
    if (!file.exists())
        return reading;
    reading.state = LockFileReading::State::Unreadable;
    const auto read = lockFileBytes(path, reading.content);
    if (!read)
        return reading;
    const QByteArray bytes = *read;
    const QList<QByteArray> lines = bytes.split('\n');
    const auto pid = pidOf(lines.value(0));
    if (!pid) {
        reading.content = printable(bytes);
        return reading;
    }
    reading.pid = *pid;
    // Qt's form: the program and the host on the next lines. A process of another host cannot be
    // looked at from here: it is taken as alive.
    const QString program = QFileInfo(QString::fromLocal8Bit(lines.value(1).trimmed())).fileName();
    const QString host = QString::fromLocal8Bit(lines.value(2).trimmed());
    const bool here = host.isEmpty() || host == QSysInfo::machineHostName();
    if (here && !processRuns(*pid)) {
        reading.state = LockFileReading::State::Dead;
        return reading;
    }
    reading.state = LockFileReading::State::Live;
    reading.program = shownProgramName(program.isEmpty() ? runningProgram(*pid) : program);
    return reading;
}

namespace port_lock {

QString lockFilePath(const QString &device) {
    const QString fileName = lockFileName(device);
    for (const QString &folder : kLockFolders) {
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(folder + fileName) || info.isWritable()))
            return folder + fileName;
    }
    return {};
}

QString deviceBehind(const QString &name) {
    const QString target = QFileInfo(name).canonicalFilePath();
    if (target.isEmpty() || lockFileName(target) == lockFileName(name))
        return {};
    return target;
}

std::optional<LockRefusal> clearStaleLock(const QString &name) {
    const QString path = lockFilePath(name);
    return path.isEmpty() ? std::nullopt : clearStaleLockAt(path);
}

std::optional<LockRefusal> holderOf(const QString &name) {
    for (const QString &device : {name, deviceBehind(name)}) {
        const QString path = device.isEmpty() ? QString() : lockFilePath(device);
        if (path.isEmpty())
            continue;
        if (auto refusal = refusalFrom(path, readLockFile(path)))
            return refusal;
    }
    return std::nullopt;
}

} // namespace port_lock

PortLock::PortLock(const QString &device, Names names) {
    QStringList devices;
    if (names == Names::GivenAndDevice)
        devices << device;
    if (const QString target = port_lock::deviceBehind(device); !target.isEmpty())
        devices << target;
    for (const QString &name : devices) {
        if (!lock(name))
            return;
    }
}

PortLock::~PortLock() = default;

bool PortLock::lock(const QString &name) {
    const QString path = lockFilePath(name);
    if (path.isEmpty()) {
        refuse({LockRefusal::Kind::NoLockFolder, name, 0, {}, {}});
        return false;
    }
    if (auto refusal = clearStaleLockAt(path)) {
        refuse(*refusal);
        return false;
    }
    auto lock = std::make_unique<QLockFile>(path);
    if (!lock->tryLock(0)) {
        // Another program took it since it was read.
        const auto refusal = refusalFrom(path, readLockFile(path));
        refuse(refusal.value_or(LockRefusal{LockRefusal::Kind::CannotLock, path, 0, {}, {}}));
        return false;
    }
    locks_.push_back(std::move(lock));
    paths_ << path;
    return true;
}

void PortLock::refuse(LockRefusal refusal) {
    refusal_ = std::move(refusal);
    locks_.clear();
    paths_.clear();
}
