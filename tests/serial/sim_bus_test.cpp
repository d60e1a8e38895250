// The simulated module as a bus of modules on one terminal (--slave LIST) and as a line that
// echoes (--echo), seen as raw bytes on the terminal: who answers, what an address change moves,
// and every byte in order. After each request comes a read of the first module: everything up to
// its reply is what the request brought about, so that no row waits for silence.
#include "core/modbus_frame.h"
#include "sim_runner.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <vector>

Q_DECLARE_METATYPE(sim::Options)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

QByteArray bytes(modbus::ByteView frame) {
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

QByteArray read1(int slave) {
    return bytes(modbus::Request::readRegisters(std::uint8_t(slave), 0, 1).rtu());
}

QByteArray addressChange(int from, int to) {
    return bytes(modbus::Request::addressChange(std::uint8_t(from), std::uint8_t(to)).rtu());
}

// The reply to read1: the concentration.
QByteArray concentration(int slave, int ppm) {
    const std::uint8_t unitAndPdu[] = {std::uint8_t(slave), modbus::kReadHoldingRegisters, 2,
                                       std::uint8_t(ppm >> 8), std::uint8_t(ppm & 0xFF)};
    return bytes(modbus::withCrc(unitAndPdu));
}

QByteArray illegalDataValue(int slave) {
    const std::uint8_t unitAndPdu[] = {std::uint8_t(slave),
                                       modbus::kWriteSingleRegister | modbus::kExceptionFlag, 3};
    return bytes(modbus::withCrc(unitAndPdu));
}

sim::Options line(std::vector<int> slaves, bool echo = false, sim::Fault fault = sim::Fault::None) {
    sim::Options options = SimRunner::steadyOptions();
    options.slaves = std::move(slaves);
    options.slave = options.slaves.front();
    options.echo = echo;
    options.fault = fault;
    return options;
}

// The master's end of the terminal, raw.
class Master {
public:
    explicit Master(const QString &path)
        : fd_(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Master() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    bool send(const QByteArray &frame) const {
        return ::write(fd_, frame.constData(), size_t(frame.size())) == frame.size();
    }
    // Up to `count` bytes, waiting 5 s at most for them.
    QByteArray receive(qsizetype count) const {
        QByteArray got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (got.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd ready{fd_, POLLIN, 0};
            char buffer[256];
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            const ssize_t n =
                ::read(fd_, buffer, size_t(std::min<qsizetype>(256, count - got.size())));
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

private:
    int fd_;
};

} // namespace

class SimBusTest : public QObject {
    Q_OBJECT
private slots:
    void busAndEcho_data();
    void busAndEcho();
};

void SimBusTest::busAndEcho_data() {
    QTest::addColumn<sim::Options>("options");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");           // after the echo, if any; empty: none
    QTest::addColumn<std::vector<int>>("addresses"); // each module's afterwards
    QTest::addColumn<int>("rangeHigh");              // every module's register 4 afterwards

    const std::vector<int> bus{1, 5, 9};
    const int high = sim::kDefaultRegisters[4];
    const int ppm = sim::kDefaultRegisters[0];
    const int step = sim::kConcentrationStep;
    QTest::newRow("bus: the first module")
        << line(bus) << read1(1) << concentration(1, ppm) << bus << high;
    QTest::newRow("bus: the second, a step higher")
        << line(bus) << read1(5) << concentration(5, ppm + step) << bus << high;
    QTest::newRow("bus: the third, two steps higher")
        << line(bus) << read1(9) << concentration(9, ppm + 2 * step) << bus << high;
    QTest::newRow("bus: none at another address")
        << line(bus) << read1(2) << QByteArray() << bus << high;
    QTest::newRow("bus: an address change moves that module alone")
        << line(bus) << addressChange(5, 7) << addressChange(5, 7) << std::vector<int>{1, 7, 9}
        << high;
    QTest::newRow("bus: an address another module has is refused")
        << line(bus) << addressChange(5, 9) << illegalDataValue(5) << bus << high;
    QTest::newRow("bus: a broadcast write taken by all, answered by none")
        << line(bus) << bytes(modbus::Request::parameterWrite(0, 0x0A04, 7).rtu()) << QByteArray()
        << bus << 7;
    QTest::newRow("bus: a broadcast address change refused by all")
        << line(bus) << addressChange(0, 3) << QByteArray() << bus << high;
    QTest::newRow("one module: a broadcast address change moves it")
        << line({1}) << addressChange(0, 3) << QByteArray() << std::vector<int>{3} << high;

    QTest::newRow("echo: the request, then the reply")
        << line({1}, true) << read1(1) << concentration(1, ppm) << std::vector<int>{1} << high;
    sim::Options paced = line({1}, true);
    paced.paced = true;
    QTest::newRow("echo, paced: the same bytes")
        << paced << read1(1) << concentration(1, ppm) << std::vector<int>{1} << high;
    QTest::newRow("echo: a request for another address")
        << line({1}, true) << read1(2) << QByteArray() << std::vector<int>{1} << high;
    QByteArray badCrc = read1(1);
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0xFF);
    QTest::newRow("echo: a request with a bad CRC")
        << line({1}, true) << badCrc << QByteArray() << std::vector<int>{1} << high;
    QTest::newRow("echo: the silence fault") << line({1}, true, sim::Fault::Silence) << read1(1)
                                             << QByteArray() << std::vector<int>{1} << high;
    QTest::newRow("echo on a bus")
        << line(bus, true) << read1(9) << concentration(9, ppm + 2 * step) << bus << high;
}

void SimBusTest::busAndEcho() {
    QFETCH(sim::Options, options);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(std::vector<int>, addresses);
    QFETCH(int, rangeHigh);
    SimRunner sim(options);
    QVERIFY(sim.ok());
    Master master(sim.path());
    QVERIFY(master.ok());

    QVERIFY(master.send(request));
    QTRY_COMPARE(sim.module().framesHeard(), 1);
    // The first module, read where it is now: the end of what the request brought about.
    const QByteArray probe = read1(addresses.front());
    QVERIFY(master.send(probe));
    const QByteArray echo = options.echo ? request : QByteArray();
    const QByteArray probeEcho = options.echo ? probe : QByteArray();
    const QByteArray probeReply = options.fault == sim::Fault::Silence
                                      ? QByteArray()
                                      : concentration(addresses.front(), sim::kDefaultRegisters[0]);
    const QByteArray expected = echo + reply + probeEcho + probeReply;
    QCOMPARE(master.receive(expected.size()).toHex(' '), expected.toHex(' '));

    QCOMPARE(sim.module().moduleCount(), addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        QCOMPARE(sim.module().slave(i), addresses[i]);
        QCOMPARE(int(sim.module().registers(i)[4]), rangeHigh);
    }
}

QTEST_GUILESS_MAIN(SimBusTest)
#include "sim_bus_test.moc"
