#include "core/csv_log.h"

#include <QDir>
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

// Refused at once, without waiting for a reader of the pipe. Devices are told by their number,
// whatever their name: the null device is taken, any other refused.
TEST(CsvLog, RefusesWhatIsNeitherAFileNorAReadPipe) {
    QTemporaryDir folder;
    const QString unread = folder.filePath(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(unread).constData(), 0600);
    const QString nullAsRun = folder.filePath(QStringLiteral("run.csv"));
    const QString fullAsNull = folder.filePath(QStringLiteral("null"));
    QFile::link(QStringLiteral("/dev/null"), nullAsRun);
    QFile::link(QStringLiteral("/dev/full"), fullAsNull);
    const std::pair<QString, const char *> cases[] = {
        {folder.filePath(QStringLiteral("missing/run.csv")), "No such file or directory"},
        {folder.filePath(QStringLiteral("missing/")), "no such folder"},
        {QStringLiteral("/dev/full"), "not a regular file or a pipe"},
        {fullAsNull, "not a regular file or a pipe"},
        {unread, "no program reads from that pipe"},
        {QStringLiteral("/dev/null"), ""},
        {nullAsRun, ""},
    };
    for (const auto &[path, reason] : cases) {
        QString error;
        EXPECT_EQ(CsvLog::open(path, error) != nullptr, !*reason) << path.toStdString();
        EXPECT_EQ(error.toStdString(),
                  *reason ? "cannot open the log file '" + path.toStdString() + "': " + reason
                          : "");
    }
}

// Each run in a folder gets a file of its own: one another run made (the same name, the same
// millisecond) is neither opened nor touched, and the names sort as the runs started.
TEST(CsvLog, AFolderGetsANewFileForEachRun) {
    QTemporaryDir folder;
    const QString taken = QStringLiteral("gx7140r-2026-12-07T10-24-08.348Z.csv");
    QFile another(folder.filePath(taken));
    ASSERT_TRUE(another.open(QIODevice::WriteOnly) && another.write("another run\r\n") > 0);
    another.close();
    const QByteArray header = (modbus::csvHeader() + "\r\n").toUtf8();
    const QDateTime start(QDate(2026, 12, 7), QTime(18, 24, 8, 348), QTimeZone(8 * 3600));
    const std::pair<QDateTime, QString> runs[] = {
        {start, "gx7140r-2026-12-07T10-24-08.348Z_2.csv"},
        {start, "gx7140r-2026-12-07T10-24-08.348Z_3.csv"},
        {start.addMSecs(1), "gx7140r-2026-12-07T10-24-08.349Z.csv"},
        {start.addSecs(1), "gx7140r-2026-12-07T10-24-09.348Z.csv"},
    };
    QStringList expected{taken};
    for (const auto &[time, name] : runs) {
        QString error;
        ASSERT_TRUE(CsvLog::openInFolder(folder.path(), time, error)) << error.toStdString();
        EXPECT_EQ(contentOf(folder.filePath(name)), header) << name.toStdString();
        expected << name;
    }
    EXPECT_EQ(contentOf(folder.filePath(taken)), "another run\r\n");
    QStringList made = QDir(folder.path()).entryList(QDir::Files);
    made.sort(); // as ls sorts them in the C locale
    EXPECT_EQ(made, expected);
}

} // namespace
