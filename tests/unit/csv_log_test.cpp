#include "core/csv_log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

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
    };
    const Case cases[] = {
        {"new file", std::nullopt, header + line},
        {"empty file", QByteArray(), header + line},
        {"earlier run", header + line, header + line + line},
    };
    for (const Case &c : cases) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("run.csv"));
        if (c.before) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.before);
        }
        QString error;
        auto log = CsvLog::open(path, error);
        ASSERT_TRUE(log) << c.what << ": " << error.toStdString();
        ASSERT_TRUE(log->append(record));
        // on disk at once, while the log is still open
        EXPECT_EQ(contentOf(path), c.after) << c.what;
    }
}

TEST(CsvLog, SaysWhyItCannotOpen) {
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(CsvLog::open(folder.filePath(QStringLiteral("missing/run.csv")), error));
    EXPECT_EQ(error.toStdString(), "cannot open the log file '" +
                                       folder.filePath("missing/run.csv").toStdString() +
                                       "': No such file or directory");
    EXPECT_FALSE(CsvLog::open(QStringLiteral("/dev/full"), error));
    EXPECT_EQ(error.toStdString(),
              "cannot write the log file '/dev/full': No space left on device");
}

} // namespace
