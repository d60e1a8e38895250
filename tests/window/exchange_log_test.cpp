// The CSV log of the window's exchange (--log): the real window with a fake serial control, the
// recorder and the log on a disk of limited room.
#include "expected_texts.h"
#include "full_disk.h"
#include "record/exchange_recorder.h"
#include "record/window_log.h"
#include "window_fixture.h"

#include "app/signal_quit.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime kTime(QDate(2026, 12, 7), QTime(9, 41, 5, 123), QTimeZone(8 * 3600));
const QString kAt = QStringLiteral("2026-12-07T09:41:05.123+08:00,");
const char *const kReply = "01031401c200000001000007d003e8012c05dc00000000e494";
const QString kReplyHex =
    QStringLiteral("01 03 14 01 C2 00 00 00 01 00 00 07 D0 03 E8 01 2C 05 DC 00 00 00 00 E4 94");
const QString kMeasurementSent =
    kAt + QStringLiteral("request,measurement,01 03 00 00 00 0A C5 CD,,sent,,,,,,,,,1,");
const QString kMeasurementAccepted =
    kAt + "reply,measurement,," + kReplyHex + ",accepted,450,0,1,0,2000,1000,300,1500,1,";

struct LoggedWindow : WindowFixture {
    explicit LoggedWindow(qint64 room = 1 << 20)
        : log(*window, recorder, std::make_unique<CsvLog>(std::make_unique<FullDisk>(disk, room))) {
    }
    explicit LoggedWindow(std::unique_ptr<CsvLog> csv) : log(*window, recorder, std::move(csv)) {}
    QStringList lines() const {
        return QString::fromUtf8(disk.written).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    FullDisk::Contents disk;
    ExchangeRecorder recorder{*window, [] { return kTime; }};
    WindowLog log;
};

struct Exchange {
    const char *name;
    std::function<void(LoggedWindow &)> run;
    QStringList lines;
};

const Exchange kExchanges[] = {
    {"accepted measurement",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex(kReply));
     },
     {kMeasurementSent, kMeasurementAccepted}},
    {"measurement from register 4",
     [](LoggedWindow &w) {
         w.ui().txtStartID->setText(QStringLiteral("4"));
         w.ui().txtDataLength->setText(QStringLiteral("2"));
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex("01030407d003e8fa00"));
     },
     {kAt + "request,measurement,01 03 00 04 00 02 85 CA,,sent,,,,,,,,,1,",
      kAt + "reply,measurement,,01 03 04 07 D0 03 E8 FA 00,accepted,,,,,2000,1000,,,1,"}},
    {"bad CRC, shown red",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex("01031401c200000001000007d003e8012c05dc00000000e495"));
     },
     {kMeasurementSent,
      kAt + "reply,measurement,," + kReplyHex.chopped(1) + "5,rejected,,,,,,,,,,CRC mismatch"}},
    {"exception",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex("01830440F3") + QByteArray(20, '\0'));
     },
     // the frame that was found in reply_hex, the bytes after it in the note
     {kMeasurementSent, kAt +
                            "reply,measurement,,01 83 04 40 F3,rejected,,,,,,,,,1,"
                            "exception 04 (slave device failure); 20 bytes after the frame:" +
                            QString(" 00").repeated(20)}},
    {"noise before the reply",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex("FF0055") + w.hex(kReply));
     },
     {kMeasurementSent,
      kAt + "reply,measurement,,FF 00 55 " + kReplyHex + ",rejected,,,,,,,,,,unexpected function 00"}},
    {"address change echoed",
     [](LoggedWindow &w) {
         w.window->txtSetID[1]->setText(QStringLiteral("5"));
         w.ui().cmdChangeID->click();
         w.comm->deliver(w.hex("01060b0000054bed"));
     },
     {kAt + "request,address-change,01 06 0B 00 00 05 4B ED,,sent,,,,,,,,,1,",
      kAt + "reply,address-change,,01 06 0B 00 00 05 4B ED,accepted,,,,,,,,,5,"}},
    {"address read, port closed",
     [](LoggedWindow &w) {
         w.comm->open = false;
         w.ui().cmdReadAdd->click();
     },
     {kAt + "request,address-read,01 03 00 00 00 01 84 0A,,not-sent,,,,,,,,,1,"}},
    {"bytes short of the threshold, discarded by the next request",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->deliver(w.hex("0283023012")); // another module's refusal, its CRC spoiled
         w.ui().cmdReadAdd->click();
     },
     {kMeasurementSent,
      kAt + "reply,measurement,,02 83 02 30 12,undecoded,,,,,,,,,,\"cut short, discarded\"",
      kAt + "request,address-read,01 03 00 00 00 01 84 0A,,sent,,,,,,,,,1,"}},
    {"device lost while waiting",
     [](LoggedWindow &w) {
         w.ui().comDoOnce->click();
         w.comm->raise(CommControl::comEventDeviceLost);
     },
     {kMeasurementSent, kAt + "line,measurement,,,,,,,,,,,,,device lost"}},
};

} // namespace

class ExchangeLogTest : public QObject {
    Q_OBJECT
private slots:
    void everyExchangeAsItsLines_data();
    void everyExchangeAsItsLines();
    void aFullDiskStopsTheLogWithOneMessageAndPollingGoesOn();
    void aPipeWhoseReaderLeftStopsTheLogWithOneMessage();
};

void ExchangeLogTest::everyExchangeAsItsLines_data() {
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kExchanges)); ++row)
        QTest::newRow(kExchanges[row].name) << row;
}

void ExchangeLogTest::everyExchangeAsItsLines() {
    QFETCH(int, row);
    LoggedWindow w;
    kExchanges[row].run(w);
    QCOMPARE(w.lines(), kExchanges[row].lines);
    QVERIFY(w.messages.isEmpty());
}

// The module answers every request; the disk fills after two exchanges.
void ExchangeLogTest::aFullDiskStopsTheLogWithOneMessageAndPollingGoesOn() {
    LoggedWindow w(2 * (kMeasurementSent.size() + kMeasurementAccepted.size() + 4) + 10);
    connect(w.window.get(), &frmMain::requestIssued, w.comm,
            [&w] { QTimer::singleShot(0, w.comm, [&w] { w.comm->deliver(w.hex(kReply)); }); });
    w.ui().txtTimerSet->setText(QStringLiteral("50"));
    w.ui().cmdOneM->click();
    QTRY_COMPARE(w.messages.size(), 1);
    QCOMPARE(w.messages[0],
             (Message{expected::kLogWriteFailed, expected::kAppTitle, MessageIcon::Exclamation}));
    QCOMPARE(w.lines().size(), 4);
    const int writes = w.disk.writes;
    const qsizetype sent = w.comm->sent.size();
    QTRY_VERIFY(w.comm->sent.size() >= sent + 5); // still polling, still decoding
    QCOMPARE(w.window->txtValue[0]->text(), QStringLiteral("450"));
    QCOMPARE(w.messages.size(), 1);
    QCOMPARE(w.disk.writes, writes); // nothing more written
    QVERIFY(!w.log.logging());
}

// --log into a named pipe whose reader goes away. The program ignores SIGPIPE from start-up on, as
// this test does: the write fails instead of ending the program.
void ExchangeLogTest::aPipeWhoseReaderLeftStopsTheLogWithOneMessage() {
    makeFailedWritesErrors();
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QString error;
    auto csv = CsvLog::open(fifo, error);
    QVERIFY2(csv, qPrintable(error));
    LoggedWindow w(std::move(csv));
    ::close(reader);
    for (int reply = 0; reply < 2; ++reply) {
        w.ui().comDoOnce->click();
        w.comm->deliver(w.hex(kReply));
        QTRY_COMPARE(w.messages.size(), 1);
    }
    QCOMPARE(w.messages[0],
             (Message{expected::kLogWriteFailed, expected::kAppTitle, MessageIcon::Exclamation}));
    QVERIFY(!w.log.logging());
    QCOMPARE(w.window->txtValue[0]->text(), QStringLiteral("450"));
    QCOMPARE(w.ui().lblErrCounter->text(), QStringLiteral("2"));
}

QTEST_MAIN(ExchangeLogTest)
#include "exchange_log_test.moc"
