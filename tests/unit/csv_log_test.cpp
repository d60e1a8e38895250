#include "core/csv_log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CsvLog, AppendsAndWritesTheHeaderOnlyIntoANewOrEmptyFile) {
    modbus::ExchangeRecord record;
    record.time = QDateTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));
    record.event = modbus::ExchangeRecord::Event::Line;
    record.note = QStringLiteral("device lost");
    const QByteArray line = (modbus::csvLine(record) + "\r\n").toUtf8();
    const QByteArray header = (modbus::csvHeader() + "\r\n").toUtf8();
    struct Case {
        const char *what;
        std::optional<QByteArray> before; // no file at all
        QByteArray after;
        bool throughLink = false;
    };
    const Case cases[] = {
        {"new file", std::nullopt, header + line},
        {"empty file", QByteArray(), header + line},
        {"earlier run", header + line, header + line + line},
        {"link to an earlier run", header + line, header + line + line, true},
        {"link to no file yet", std::nullopt, header + line, true},
        {"half a line at the end", header + line.left(30), header + line.left(30) + "\r\n" + line},
    };
    for (const Case &c : cases) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("run.csv"));
        const QString link = folder.filePath(QStringLiteral("latest.csv"));
        QFile::link(path, link);
        if (c.before) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.before);
        }
        QString error;
        auto log = CsvLog::open(c.throughLink ? link : path, error);
        ASSERT_TRUE(log) << c.what << ": " << error.toStdString();
        ASSERT_TRUE(log->append(record));
        // on disk at once, while the log is still open
        EXPECT_EQ(contentOf(path), c.after) << c.what;
    }
}

// Refused at once, without waiting for a reader of the pipe.
TEST(CsvLog, RefusesWhatIsNeitherAFileNorAReadPipe) {
    QTemporaryDir folder;
    const QString unread = folder.filePath(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(unread).constData(), 0600);
    const std::pair<QString, const char *> cases[] = {
        {folder.filePath(QStringLiteral("missing/run.csv")), "No such file or directory"},
        {folder.path(), "it is a directory"},
        {QStringLiteral("/dev/full"), "not a regular file or a pipe"},
        {unread, "no program reads from that pipe"},
    };
    for (const auto &[path, reason] : cases) {
        QString error;
        EXPECT_FALSE(CsvLog::open(path, error)) << path.toStdString();
        EXPECT_EQ(error.toStdString(),
                  "cannot open the log file '" + path.toStdString() + "': " + reason);
    }
}

} // namespace
