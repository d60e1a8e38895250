#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QLockFile;

// A serial port locked as Qt's serial port locks it, so that the window and the command line
// refuse a port the other has: the file LCK..<name> (the device's path below /dev, each '/' as
// '_') in the first lock folder that can hold it (/var/lock on Debian, a link to /run/lock), a
// QLockFile with the process number, program name and host. A lock whose process is gone is
// stale and taken over.
class PortLock {
public:
    struct Holder {
        qint64 pid = 0;
        QString program;
    };

    // Where Qt's serial port puts the lock of the device (the folder searched as Qt searches it);
    // empty when no folder can hold it.
    static QString lockFilePath(const QString &device);

    // Takes the lock of the device as given and, when that is a link (/dev/COM1), of the device
    // it leads to, so that programs opening either meet the same lock.
    explicit PortLock(const QString &device);
    ~PortLock();
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    bool isLocked() const { return error_.isEmpty(); }
    // The live process that holds the port, when that is why it is not locked.
    const std::optional<Holder> &holder() const { return holder_; }
    // Why it is not locked, one line: "in use by process 1234 (gx7140r-tool)".
    const QString &error() const { return error_; }
    const QStringList &paths() const { return paths_; }

private:
    std::vector<std::unique_ptr<QLockFile>> locks_;
    QStringList paths_;
    std::optional<Holder> holder_;
    QString error_;
};
