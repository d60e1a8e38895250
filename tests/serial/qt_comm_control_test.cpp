// The serial control over QSerialPort, against the device side of a real pty pair.
#include "pty_pair.h"
#include "serial/qt_comm_control.h"

#include <QSignalSpy>
#include <QtTest>

#include <sys/resource.h>

namespace {
QtCommControl::PortNameMapper to(const QString &path) {
    return [path](int) { return path; };
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

class QtCommControlTest : public QObject {
    Q_OBJECT
private slots:
    void receiveEventWhenTheThresholdIsReached();
    void thresholdZeroRaisesNothing();
    void eventNeverFromInsideOutput();
    void inputTakesEverything();
    void outputReachesTheDevice();
    void discardOnOpenAndClosedPort();
    void settingsAppliedAndBadOnesRefused();
    void settingsBeforeOpenTakeEffectOnOpen();
    void openOfAMissingPathFails();
    void portHeldByAnotherProgramFails();
    void portNumberFixedWhileOpen();
    void vanishedDeviceClosesThePortOnce();
    void systemPortNames();
};

void QtCommControlTest::receiveEventWhenTheThresholdIsReached() {
    PtyPair pty;
    QVERIFY(pty.valid());
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setRThreshold(3));
    QSignalSpy events(&comm, &CommControl::OnComm);
    pty.send(QByteArray::fromHex("0102"));
    QTest::qWait(100);
    QCOMPARE(events.size(), 0);
    pty.send(QByteArray::fromHex("03"));
    QTRY_COMPARE(events.size(), 1);
    QCOMPARE(comm.CommEvent(), CommControl::comEvReceive);
}

void QtCommControlTest::thresholdZeroRaisesNothing() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setRThreshold(0));
    QSignalSpy events(&comm, &CommControl::OnComm);
    pty.send(QByteArray(40, 'x'));
    QTest::qWait(150);
    QCOMPARE(events.size(), 0);
    QCOMPARE(comm.Input().size(), 40);
}

void QtCommControlTest::eventNeverFromInsideOutput() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setRThreshold(1));
    pty.send(QByteArray::fromHex("AA"));
    QTest::qWait(50); // bytes wait in the kernel, no event handled yet if the loop did not run
    QSignalSpy events(&comm, &CommControl::OnComm);
    const int before = int(events.size());
    QVERIFY(comm.Output(QByteArray::fromHex("01030000000AC5CD")));
    QCOMPARE(int(events.size()), before);
}

void QtCommControlTest::inputTakesEverything() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setInputLen(0));
    QVERIFY(comm.setRThreshold(25));
    QSignalSpy events(&comm, &CommControl::OnComm);
    const QByteArray reply =
        QByteArray::fromHex("01031401C200000001000007D003E8000007D000070008697E");
    pty.send(reply.left(10));
    QTest::qWait(30);
    pty.send(reply.mid(10));
    QTRY_VERIFY(events.size() >= 1);
    QCOMPARE(comm.Input(), reply);
    QCOMPARE(comm.Input(), QByteArray());
}

void QtCommControlTest::outputReachesTheDevice() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(!comm.Output(QByteArray("x"))); // closed
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.Output(QByteArray::fromHex("01030000000AC5CD")));
    QByteArray seen;
    QTRY_VERIFY((seen += pty.receive()).size() >= 8);
    QCOMPARE(seen, QByteArray::fromHex("01030000000AC5CD"));
}

void QtCommControlTest::discardOnOpenAndClosedPort() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setInBufferCount(0)); // closed: accepted, nothing to discard
    QVERIFY(comm.setOutBufferCount(0));
    QVERIFY(comm.setInputMode(CommControl::comInputModeBinary));
    QVERIFY(comm.setRThreshold(1));
    QVERIFY(comm.setSThreshold(0));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setRThreshold(0));
    pty.send(QByteArray("stale reply"));
    QTest::qWait(100);
    QVERIFY(comm.setInBufferCount(0));
    QCOMPARE(comm.Input(), QByteArray());
    pty.send(QByteArray("new"));
    QByteArray received;
    QTRY_VERIFY((received += comm.Input()).size() >= 3);
    QCOMPARE(received, QByteArray("new"));
    QVERIFY(!comm.setInBufferCount(5)); // only a discard is possible
}

void QtCommControlTest::settingsAppliedAndBadOnesRefused() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setSettings(QStringLiteral("19200,N,8,1")));
    termios tio{};
    QCOMPARE(tcgetattr(pty.master, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(0));
    QVERIFY(!comm.setSettings(QStringLiteral("fast,N,8,1")));
    QVERIFY(!comm.setSettings(QStringLiteral("9600,N,8")));
    QCOMPARE(comm.Settings(), QStringLiteral("19200,N,8,1"));
    QVERIFY(comm.PortOpen());
}

void QtCommControlTest::settingsBeforeOpenTakeEffectOnOpen() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setSettings(QStringLiteral("2400,N,8,1")));
    QVERIFY(comm.setPortOpen(true));
    termios tio{};
    QCOMPARE(tcgetattr(pty.master, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
}

void QtCommControlTest::openOfAMissingPathFails() {
    QtCommControl comm(to(QStringLiteral("/nonexistent/gx7140r-port")));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(!comm.PortOpen());
    QVERIFY(comm.setPortOpen(false)); // closing a closed port is harmless
}

void QtCommControlTest::portHeldByAnotherProgramFails() {
    PtyPair pty;
    QtCommControl first(to(pty.path));
    QtCommControl second(to(pty.path));
    QVERIFY(first.setPortOpen(true));
    QVERIFY(!second.setPortOpen(true));
    QVERIFY(!second.PortOpen());
    QVERIFY(!first.setPortOpen(true)); // already open
    QVERIFY(first.setPortOpen(false));
    QVERIFY(second.setPortOpen(true));
}

void QtCommControlTest::portNumberFixedWhileOpen() {
    PtyPair pty;
    QList<int> asked;
    QtCommControl comm([&](int n) { return asked << n, pty.path; });
    QVERIFY(comm.setCommPort(3));
    QVERIFY(!comm.setCommPort(0));
    QVERIFY(comm.setPortOpen(true));
    QCOMPARE(asked, QList<int>{3});
    QVERIFY(!comm.setCommPort(4));
    QCOMPARE(comm.CommPort(), 3);
}

void QtCommControlTest::vanishedDeviceClosesThePortOnce() {
    PtyPair pty;
    QtCommControl comm(to(pty.path));
    QVERIFY(comm.setPortOpen(true));
    QVERIFY(comm.setRThreshold(1));
    QSignalSpy events(&comm, &CommControl::OnComm);
    pty.closeAll();
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 1, 5000);
    QCOMPARE(comm.CommEvent(), CommControl::comEventDeviceLost);
    QVERIFY(!comm.PortOpen());
    // No flood of errors afterwards: the loop idles and raises nothing more.
    const double before = cpuSeconds();
    QTest::qWait(500);
    const double used = cpuSeconds() - before;
    QCOMPARE(events.size(), 1);
    QVERIFY2(used < 0.25, qPrintable(QStringLiteral("CPU seconds while idle: %1").arg(used)));
    QVERIFY(!comm.Output(QByteArray("x")));
}

void QtCommControlTest::systemPortNames() {
#ifndef Q_OS_WIN
    auto exists = [](const QString &path) { return path == QStringLiteral("/dev/COM3"); };
    QCOMPARE(systemPortName(3, exists), QStringLiteral("/dev/COM3"));
    QCOMPARE(systemPortName(1, exists), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(systemPortName(25, exists), QStringLiteral("/dev/ttyS24"));
#else
    QCOMPARE(systemPortName(3), QStringLiteral("COM3"));
#endif
}

QTEST_MAIN(QtCommControlTest)
#include "qt_comm_control_test.moc"
