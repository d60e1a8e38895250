#include "port_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

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

// "/dev/pts/3" -> "pts/3", as the serial port names a device; other paths stay whole.
QString portNameOf(const QString &device) {
    const QString devices = QStringLiteral("/dev/");
    return device.startsWith(devices) ? device.mid(devices.size()) : device;
}

} // namespace

QString PortLock::lockFilePath(const QString &device) {
    const QString fileName = QStringLiteral("/LCK..") + portNameOf(device).replace(u'/', u'_');
    for (const QString &folder : kLockFolders) {
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(folder + fileName) || info.isWritable()))
            return folder + fileName;
    }
    return {};
}

PortLock::PortLock(const QString &device) {
    QStringList devices{device};
    const QString target = QFileInfo(device).canonicalFilePath();
    if (!target.isEmpty() && target != device)
        devices << target;
    for (const QString &name : devices) {
        const QString path = lockFilePath(name);
        if (path.isEmpty()) {
            error_ = QStringLiteral("no lock folder can hold a lock for %1").arg(name);
            return;
        }
        auto lock = std::make_unique<QLockFile>(path);
        if (!lock->tryLock(0)) {
            Holder holder;
            if (lock->error() == QLockFile::LockFailedError &&
                lock->getLockInfo(&holder.pid, nullptr, &holder.program)) {
                error_ = QStringLiteral("in use by process %1 (%2)")
                             .arg(holder.pid)
                             .arg(QFileInfo(holder.program).fileName());
                holder_ = holder;
            } else {
                error_ = QStringLiteral("cannot take its lock %1").arg(path);
            }
            return;
        }
        locks_.push_back(std::move(lock));
        paths_ << path;
    }
}

PortLock::~PortLock() = default;
