#pragma once

#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair: the test holds the device side (master), the tool opens `path`.
struct PtyPair {
    int master = -1;
    int keepOpen = -1; // keeps the terminal alive while the tool has it closed
    QString path;

    PtyPair() {
        char name[256] = {};
        if (openpty(&master, &keepOpen, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        tcgetattr(keepOpen, &tio);
        cfmakeraw(&tio);
        tcsetattr(keepOpen, TCSANOW, &tio);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        // A program a test starts must not inherit the device side: closing it here has to make
        // the device go away.
        for (const int fd : {master, keepOpen})
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        path = QString::fromLocal8Bit(name);
    }
    ~PtyPair() { closeAll(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool valid() const { return master >= 0; }
    bool send(const QByteArray &bytes) const {
        return write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    QByteArray receive() const {
        QByteArray bytes;
        char buffer[512];
        ssize_t n;
        while ((n = read(master, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        return bytes;
    }
    // The device goes away, as a USB adapter pulled out.
    void closeAll() {
        if (master >= 0)
            close(master);
        if (keepOpen >= 0)
            close(keepOpen);
        master = keepOpen = -1;
    }
};
