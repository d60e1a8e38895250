#include "core/csv_log.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
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

// Refused at once, without waiting for a reader of the pipe. Devices are told by their number:
// a link named "null" to /dev/full is refused like /dev/full.
TEST(CsvLog, RefusesWhatIsNeitherAFileNorAReadPipe) {
    QTemporaryDir folder;
    const QString unread = folder.filePath(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(unread).constData(), 0600);
    const QString fullByAnotherName = folder.filePath(QStringLiteral("null"));
    QFile::link(QStringLiteral("/dev/full"), fullByAnotherName);
    const auto quoted = [](const QString &path) { return QRegularExpression::escape(path); };
    const std::pair<QString, QString> cases[] = {
        {folder.filePath(QStringLiteral("missing/run.csv")), "No such file or directory"},
        {folder.filePath(QStringLiteral("missing/")), "no such folder"},
        {QStringLiteral("/dev/full"), "not a regular file or a pipe"},
        {QStringLiteral("/dev/zero"), "not a regular file or a pipe"},
        {fullByAnotherName, "not a regular file or a pipe"},
        {unread, "no program reads from that pipe"},
        // a folder where nobody, not even root, may make a file: the run's file is named
        {QStringLiteral("/sys"), "Permission denied"},
    };
    for (const auto &[path, reason] : cases) {
        QString error;
        EXPECT_FALSE(CsvLog::open(path, error)) << path.toStdString();
        const QString named = path == QStringLiteral("/sys")
                                  ? QStringLiteral("/sys/gx7140r-[^/']+\\.csv")
                                  : quoted(path);
        const QRegularExpression expected(
            QStringLiteral("^cannot open the log file '%1': %2$").arg(named, quoted(reason)));
        EXPECT_TRUE(expected.match(error).hasMatch()) << error.toStdString();
    }
}

// The null device, by whatever name, takes every line and keeps none: nothing is made beside it.
TEST(CsvLog, TheNullDeviceIsALogThatKeepsNothing) {
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("run.csv"));
    QFile::link(QStringLiteral("/dev/null"), link);
    for (const QString &path : {QStringLiteral("/dev/null"), link}) {
        QString error;
        auto log = CsvLog::open(path, error);
        ASSERT_TRUE(log) << path.toStdString() << ": " << error.toStdString();
        EXPECT_TRUE(log->append(modbus::ExchangeRecord{}));
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
              QStringList{QStringLiteral("run.csv")});
    EXPECT_EQ(QFile::symLinkTarget(link), QStringLiteral("/dev/null"));
}

// Each run in a folder gets a file of its own, created there: one another run made (the same
// name, the same millisecond) is neither opened nor touched, and the names sort as the runs
// started.
TEST(CsvLog, AFolderGetsANewFileForEachRun) {
    QTemporaryDir folder;
    const QString taken = QStringLiteral("gx7140r-2026-12-07T10-24-08.348Z.csv");
    {
        QFile another(folder.filePath(taken));
        ASSERT_TRUE(another.open(QIODevice::WriteOnly));
        another.write("another run\r\n");
    }
    const QByteArray header = (modbus::csvHeader() + "\r\n").toUtf8();
    const QByteArray line = (modbus::csvLine(modbus::ExchangeRecord{}) + "\r\n").toUtf8();
    const QTime time(18, 24, 8, 348); // in UTC+8
    const QTimeZone china(8 * 3600);
    const std::pair<QDateTime, QString> runs[] = {
        {QDateTime(QDate(2026, 12, 7), time, china), "gx7140r-2026-12-07T10-24-08.348Z_2.csv"},
        {QDateTime(QDate(2026, 12, 7), time, china), "gx7140r-2026-12-07T10-24-08.348Z_3.csv"},
        {QDateTime(QDate(2026, 12, 7), time.addMSecs(1), china),
         "gx7140r-2026-12-07T10-24-08.349Z.csv"},
        {QDateTime(QDate(2026, 12, 7), time.addSecs(1), china),
         "gx7140r-2026-12-07T10-24-09.348Z.csv"},
    };
    QStringList expected{taken};
    for (const auto &[start, name] : runs) {
        QString error;
        auto log = CsvLog::openInFolder(folder.path(), start, error);
        ASSERT_TRUE(log) << error.toStdString();
        ASSERT_TRUE(log->append(modbus::ExchangeRecord{}));
        EXPECT_EQ(contentOf(folder.filePath(name)), header + line) << name.toStdString();
        expected << name;
    }
    EXPECT_EQ(contentOf(folder.filePath(taken)), "another run\r\n");
    QStringList sorted = QDir(folder.path()).entryList(QDir::Files);
    sorted.sort(); // as ls sorts them in the C locale
    EXPECT_EQ(sorted, expected);

    // A folder given to open: this run's file, named by the time now.
    QTemporaryDir empty;
    QString error;
    ASSERT_TRUE(CsvLog::open(empty.path(), error)) << error.toStdString();
    const QStringList made = QDir(empty.path()).entryList(QDir::Files);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^gx7140r-\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d\\.\\d{3}Z\\.csv$"))
            .match(made.first())
            .hasMatch())
        << made.first().toStdString();
    EXPECT_EQ(contentOf(empty.filePath(made.first())), header);
}

} // namespace
