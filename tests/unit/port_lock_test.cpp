#include "core/port_lock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A named pipe put where a lock file belongs (anyone may write the lock folder) names no process
// and is told at once: opening it to read would wait for a writer, and the program with it.
TEST(PortLock, ANamedPipeForALockNamesNoProcess) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("LCK..ttyUSB0"));
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    const LockFileReading reading = readLockFile(path);
    EXPECT_EQ(reading.state, LockFileReading::State::Unreadable);
    EXPECT_EQ(reading.content.toStdString(), "not a regular file");
}

// The program a live lock names is shown on a terminal and in a message box: the escape sequences
// anyone may write into a lock file are shown as '?', never passed on.
TEST(PortLock, AProgramNameIsShownWithoutControlCharacters) {
    QTemporaryDir folder;
    QFile lock(folder.filePath(QStringLiteral("LCK..ttyUSB0")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()) +
               "\n\x1b]0;title\x07\x1b[31mred\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    const LockFileReading reading = readLockFile(lock.fileName());
    EXPECT_EQ(reading.state, LockFileReading::State::Live);
    EXPECT_EQ(reading.program.toStdString(), "?]0;title??[31mred");
}

} // namespace
