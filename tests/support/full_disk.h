#pragma once

#include <QIODevice>

// A file on a disk with room for `room` bytes: a write that does not fit fails as on a full file
// system. What was written stays readable by the test after the log let go of the device.
class FullDisk final : public QIODevice {
public:
    struct Contents {
        QByteArray written;
        int writes = 0;
    };
    FullDisk(Contents &contents, qint64 room) : contents_(contents), room_(room) {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override {
        ++contents_.writes;
        if (contents_.written.size() + size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        contents_.written.append(data, size);
        return size;
    }

private:
    Contents &contents_;
    qint64 room_;
};
