// The simulated module as a bus of modules on one terminal (--slave LIST) and as a line that
// echoes (--echo), seen as raw bytes: who answers, what an address change moves, every byte in
// order. After each request comes a read of the first module, so that what arrives before its
// reply is all the request brought about: no row waits for silence.
#include "core/frame_codec.h"
#include "sim_runner.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray rtu(const modbus::Request &request) {
    return modbus::byteArrayOf(request.rtu());
}
QByteArray read1(int slave) {
    return rtu(modbus::Request::readRegisters(std::uint8_t(slave), 0, 1));
}
QByteArray addressChange(int from, int to) {
    return rtu(modbus::Request::addressChange(std::uint8_t(from), std::uint8_t(to)));
}
QByteArray withCrc(std::vector<std::uint8_t> unitAndPdu) {
    return modbus::byteArrayOf(modbus::withCrc(unitAndPdu));
}
QByteArray concentration(int slave, int ppm) { // the reply to read1
    return withCrc({std::uint8_t(slave), 3, 2, std::uint8_t(ppm >> 8), std::uint8_t(ppm & 0xFF)});
}

// Up to `count` bytes from the raw terminal, 5 s at most.
QByteArray receive(int fd, qsizetype count) {
    QByteArray got;
    char byte = 0;
    for (int polls = 0; got.size() < count && polls < 100; ++polls) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 50) > 0 && ::read(fd, &byte, 1) == 1)
            got.append(byte);
    }
    return got;
}

struct Row {
    const char *name;
    std::vector<int> slaves;
    bool echo;
    QByteArray request;
    QByteArray reply; // after the echo, if any; empty: none
    std::vector<int> slavesAfter;
    int rangeHighAfter = sim::kDefaultRegisters[4]; // every module's register 4
    sim::Fault fault = sim::Fault::None;
};

} // namespace

class SimBusTest : public QObject {
    Q_OBJECT
private slots:
    void busAndEcho();
};

void SimBusTest::busAndEcho() {
    const std::vector<int> bus{1, 5, 9};
    const std::vector<int> one{1};
    const int ppm = sim::kDefaultRegisters[0];
    const int high = sim::kDefaultRegisters[4];
    QByteArray badCrc = read1(1);
    badCrc.back() = char(~badCrc.back());
    const QByteArray none;
    const std::vector<int> moved{1, 7, 9}, three{3};
    const Row rows[] = {
        {"bus: a module, a step higher", bus, false, read1(5),
         concentration(5, ppm + sim::kConcentrationStep), bus},
        {"bus: none at another address", bus, false, read1(2), none, bus},
        {"bus: an address change moves that module alone", bus, false, addressChange(5, 7),
         addressChange(5, 7), moved},
        {"bus: an address another module has is refused (03)", bus, false, addressChange(5, 9),
         withCrc({5, 0x86, 3}), bus},
        {"bus: a broadcast write taken by all, answered by none", bus, false,
         rtu(modbus::Request::parameterWrite(0, 0x0A04, 7)), none, bus, 7},
        {"bus: a broadcast address change refused by all", bus, false, addressChange(0, 3), none,
         bus},
        {"one module: a broadcast address change moves it", one, false, addressChange(0, 3), none,
         three},
        {"echo: the request, then the reply", one, true, read1(1), concentration(1, ppm), one},
        {"echo: a request for another address", one, true, read1(2), none, one},
        {"echo: a request with a bad CRC", one, true, badCrc, none, one},
        {"echo: the silence fault", one, true, read1(1), none, one, high, sim::Fault::Silence},
    };
    for (const Row &row : rows) {
        sim::Options options = SimRunner::steadyOptions();
        options.slaves = row.slaves;
        options.echo = row.echo;
        options.fault = row.fault;
        SimRunner sim(options);
        QVERIFY(sim.ok());
        const int master = ::open(sim.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        termios tio{};
        tcgetattr(master, &tio);
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);

        QVERIFY(::write(master, row.request.constData(), size_t(row.request.size())) > 0);
        QTRY_COMPARE(sim.module().framesHeard(), 1);
        const QByteArray probe = read1(row.slavesAfter.front()); // where the first module is now
        QVERIFY(::write(master, probe.constData(), size_t(probe.size())) > 0);
        const QByteArray probeReply = row.fault == sim::Fault::Silence
                                          ? QByteArray()
                                          : concentration(row.slavesAfter.front(), ppm);
        const QByteArray expected = (row.echo ? row.request : QByteArray()) + row.reply +
                                    (row.echo ? probe : QByteArray()) + probeReply;
        const QByteArray got = receive(master, expected.size());
        ::close(master);
        QVERIFY2(got == expected, qPrintable(QString("%1: %2").arg(row.name, got.toHex(' '))));

        std::vector<int> slavesAfter;
        for (std::size_t i = 0; i < sim.module().moduleCount(); ++i) {
            slavesAfter.push_back(sim.module().slave(i));
            QVERIFY2(sim.module().registers(i)[4] == row.rangeHighAfter, row.name);
        }
        QVERIFY2(slavesAfter == row.slavesAfter, row.name);
    }
}

QTEST_GUILESS_MAIN(SimBusTest)
#include "sim_bus_test.moc"
