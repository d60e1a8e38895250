#include "core/csv_log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The program ignores SIGPIPE and SIGXFSZ at start-up; so does this test, so that a pipe without
// a reader and the file size limit show as write errors here too.
struct WriteSignalsIgnored {
    WriteSignalsIgnored() {
        for (const int signal : {SIGPIPE, SIGXFSZ})
            ::signal(signal, SIG_IGN);
    }
} const writeSignalsIgnored;

// A named pipe in its own folder, with or without a program reading from it.
struct Fifo {
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("fifo"));
    int reader = -1;
    explicit Fifo(bool withReader) {
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        if (withReader)
            reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    }
    ~Fifo() { closeReader(); }
    void closeReader() {
        if (reader >= 0)
            ::close(reader);
        reader = -1;
    }
    QByteArray read() const {
        QByteArray bytes(4096, '\0');
        const auto n = ::read(reader, bytes.data(), size_t(bytes.size()));
        return bytes.left(n > 0 ? n : 0);
    }
};

TEST(CsvLog, RefusesAtOnceWhatIsNoFileOrReadPipe) {
    QTemporaryDir folder;
    Fifo unread(false);
    const std::pair<QString, const char *> cases[] = {
        {folder.filePath(QStringLiteral("missing/run.csv")), "No such file or directory"},
        {folder.path(), "it is a directory"},
        {QStringLiteral("/dev/full"), "not a regular file or a pipe"},
        {QStringLiteral("/dev/null"), "not a regular file or a pipe"},
        {unread.path, "no program reads from that pipe"}, // at once: no waiting for a reader
    };
    for (const auto &[path, reason] : cases) {
        QString error;
        EXPECT_FALSE(CsvLog::open(path, error)) << path.toStdString();
        EXPECT_EQ(error.toStdString(),
                  "cannot open the log file '" + path.toStdString() + "': " + reason);
    }
}

TEST(CsvLog, WritesIntoAReadPipeAndFailsOnceItsReaderLeaves) {
    Fifo fifo(true);
    QString error;
    auto log = CsvLog::open(fifo.path, error);
    ASSERT_TRUE(log) << error.toStdString();
    EXPECT_EQ(fifo.read(), (modbus::csvHeader() + "\r\n").toUtf8());
    fifo.closeReader();
    EXPECT_FALSE(log->append(modbus::ExchangeRecord{}));
    EXPECT_EQ(log->errorString().toStdString(), "Broken pipe");
    EXPECT_FALSE(log->append(modbus::ExchangeRecord{}));
}

std::vector<int> fieldCounts(const QByteArray &csv) {
    std::vector<int> counts;
    for (const QByteArray &line : csv.split('\n'))
        if (!line.isEmpty())
            counts.push_back(int(line.count(',')) + 1); // no field of these records is quoted
    return counts;
}

// A file that fills up part-way through a record is cut back to its last whole line; the next
// run, and a file left with half a line by something else, start on a line of their own.
TEST(CsvLog, LeavesNoHalfRecordAndStartsOnANewLine) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.csv"));
    modbus::ExchangeRecord record;
    record.time = QDateTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));
    record.event = modbus::ExchangeRecord::Event::Line;
    record.note = QStringLiteral("device lost");
    const QByteArray header = (modbus::csvHeader() + "\r\n").toUtf8();
    const QByteArray line = (modbus::csvLine(record) + "\r\n").toUtf8();
    {
        QString error;
        auto log = CsvLog::open(path, error);
        ASSERT_TRUE(log);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = rlim_t(header.size() + 2 * line.size() + line.size() / 2);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool third = log->append(record) && log->append(record) && log->append(record);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_FALSE(third);
        EXPECT_EQ(log->errorString().toStdString(), "File too large");
    }
    EXPECT_EQ(contentOf(path), header + line + line);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(line.left(30)); // half a record from elsewhere
    file.close();
    QString error;
    ASSERT_TRUE(CsvLog::open(path, error)->append(record));
    const QByteArray after = contentOf(path);
    EXPECT_EQ(after, header + line + line + line.left(30) + "\r\n" + line);
    const std::vector<int> counts = fieldCounts(after);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), counts.front()), int(counts.size()) - 1)
        << "every row whole but the foreign half line";
}

} // namespace
