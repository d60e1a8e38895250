#pragma once

#include "core/port_lock.h"

#include <QDateTime>
#include <QFile>

// A serial port's lock file written as another program writes it, an hour ago (Qt takes over a
// lock it cannot read once it is half a minute old); removed with this.
struct ForeignLock {
    QString path;
    QByteArray content;
    ForeignLock(const QString &device, QByteArray bytes)
        : path(PortLock::lockFilePath(device)), content(std::move(bytes)) {
        write();
    }
    ~ForeignLock() { QFile::remove(path); }
    ForeignLock(const ForeignLock &) = delete;
    ForeignLock &operator=(const ForeignLock &) = delete;

    void write() const {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size())
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                             QFileDevice::FileModificationTime);
    }
    bool untouched() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll() == content;
    }
};
