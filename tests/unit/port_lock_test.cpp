#include "core/port_lock.h"

#include <QFile>
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

} // namespace
