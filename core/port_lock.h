#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QLockFile;

// What keeps a port's lock from this program.
struct LockRefusal {
    enum class Kind {
        HeldByProcess,  // a live process holds it
        UnreadableLock, // its lock file names no process this program can read
        NoLockFolder,   // no lock folder can hold its lock
        CannotLock,     // the lock file could not be made
    };
    Kind kind = Kind::CannotLock;
    QString path;    // the lock file (NoLockFolder: the device)
    qint64 pid = 0;  // HeldByProcess
    QString program; // HeldByProcess: the holder's name, when known
    QString content; // UnreadableLock: what the file holds, printable: "\"garbage\\n\"", "empty"

    // One line: "in use by process 1234 (minicom)".
    QString text() const;
};

// What a lock file says of the port's holder, read in each form serial programs write: Qt's (the
// process number, the program and the host on lines of their own), the UUCP/lockdev form of
// minicom and picocom (the number in ten characters and a newline) and a bare number.
struct LockFileReading {
    enum class State { Absent, Live, Dead, Unreadable };
    State state = State::Absent;
    qint64 pid = 0;
    QString program; // Live: as the file or the system names it
    QString content; // Unreadable: printable, as LockRefusal has it
};
LockFileReading readLockFile(const QString &path);

// The lock files of a serial port: LCK..<name> (the device's path below /dev, each '/' as '_')
// in the first lock folder that can hold it (/var/lock on Debian, a link to /run/lock), as Qt's
// serial port names them.
namespace port_lock {

// Where the lock of the device goes (the folder searched as Qt searches it); empty when no
// folder can hold it.
QString lockFilePath(const QString &device);

// The device `name` leads to when its lock is another file than the name's own (a link such as
// /dev/serial/by-id/... or /dev/COM1); empty otherwise.
QString deviceBehind(const QString &name);

// Makes way for taking the lock of `name`: a lock whose process is gone is removed; a live or
// unreadable one is the refusal. Nothing is taken. Qt's serial port judges a lock it finds by
// rules of its own (it takes over a live lock in another program's form), so this runs first.
std::optional<LockRefusal> clearStaleLock(const QString &name);

// Who holds `name` or the device behind it, as their lock files tell; nothing is changed.
std::optional<LockRefusal> holderOf(const QString &name);

} // namespace port_lock

// A serial port locked as Qt's serial port locks it, so that the window and the command line
// refuse a port the other has, and both refuse one a live process holds in any lock form: a
// QLockFile with the process number, program name and host. A lock whose process is gone is
// stale and taken over; an unreadable one is left alone and refuses the port.
class PortLock {
public:
    enum class Names {
        GivenAndDevice, // the name as given and the device it leads to
        DeviceBehind,   // only the device the name leads to (Qt's serial port locks the name)
    };

    static QString lockFilePath(const QString &device) { return port_lock::lockFilePath(device); }

    // Takes the lock of the device as given and, when that is a link (/dev/COM1), of the device
    // it leads to, so that programs opening either meet the same lock.
    explicit PortLock(const QString &device, Names names = Names::GivenAndDevice);
    ~PortLock();
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    bool isLocked() const { return !refusal_; }
    // Why it is not locked; its text() one line: "in use by process 1234 (gx7140r-tool)".
    const std::optional<LockRefusal> &refusal() const { return refusal_; }
    const QStringList &paths() const { return paths_; }

private:
    bool lock(const QString &name);
    void refuse(LockRefusal refusal);

    std::vector<std::unique_ptr<QLockFile>> locks_;
    QStringList paths_;
    std::optional<LockRefusal> refusal_;
};
