// The simulated module as a generic Modbus master sees it: only functions 3 and 6, as the module
// has them, exception 01 for any other function and 02 for registers outside its map.
#include "sim_runner.h"

#include <QtTest>

#include <modbus/modbus.h>

#include <cerrno>
#include <functional>

class SimAnswersTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
};

using Ask = std::function<int(modbus_t *)>;
Q_DECLARE_METATYPE(Ask)

void SimAnswersTest::answers_data() {
    QTest::addColumn<Ask>("ask");
    QTest::addColumn<int>("error"); // 0: answered
    static std::uint16_t values[16];
    static std::uint8_t bits[16];
    const std::uint16_t twoValues[] = {7, 8};
    QTest::newRow("read the measurement block")
        << Ask([](modbus_t *m) { return modbus_read_registers(m, 0, 10, values); }) << 0;
    QTest::newRow("write a parameter")
        << Ask([](modbus_t *m) { return modbus_write_register(m, 0x0A04, 3000); }) << 0;
    QTest::newRow("read coils (1)")
        << Ask([](modbus_t *m) { return modbus_read_bits(m, 0, 1, bits); }) << int(EMBXILFUN);
    QTest::newRow("read input registers (4)")
        << Ask([](modbus_t *m) { return modbus_read_input_registers(m, 0, 1, values); })
        << int(EMBXILFUN);
    QTest::newRow("write registers 4 and 5 (16)")
        << Ask([twoValues](modbus_t *m) { return modbus_write_registers(m, 4, 2, twoValues); })
        << int(EMBXILFUN);
    QTest::newRow("report the slave id (17), a request of four bytes")
        << Ask([](modbus_t *m) { return modbus_report_slave_id(m, 16, bits); }) << int(EMBXILFUN);
    QTest::newRow("read beyond the block")
        << Ask([](modbus_t *m) { return modbus_read_registers(m, 8, 3, values); })
        << int(EMBXILADD);
    QTest::newRow("write a measurement register")
        << Ask([](modbus_t *m) { return modbus_write_register(m, 4, 7); }) << int(EMBXILADD);
}

void SimAnswersTest::answers() {
    QFETCH(Ask, ask);
    QFETCH(int, error);
    SimRunner sim;
    QVERIFY(sim.ok());
    const auto before = sim.module().registers();
    modbus_t *master = modbus_new_rtu(sim.path().toLocal8Bit().constData(), 9600, 'N', 8, 1);
    QVERIFY(master);
    QCOMPARE(modbus_connect(master), 0);
    modbus_set_slave(master, 1);
    errno = 0;
    const int result = ask(master);
    const int failure = errno;
    modbus_close(master);
    modbus_free(master);
    QCOMPARE(result < 0 ? failure : 0, error);
    if (error != 0) // a refused request changes nothing
        QCOMPARE(sim.module().registers(), before);
}

QTEST_GUILESS_MAIN(SimAnswersTest)
#include "sim_answers_test.moc"
