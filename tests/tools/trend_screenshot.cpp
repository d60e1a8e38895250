// Saves a picture of the trend window after a fixed run, the same on every machine:
//   trend_screenshot OUT.png SECONDS INTERVAL-MS FAULT-EVERY
// A reading every INTERVAL-MS for SECONDS, the concentration the simulated module drifts through
// (its wave and its seeded jitter, as gx7140r-sim without --steady), every FAULT-EVERY-th reply
// rejected (as gx7140r-sim --fault bad-crc --fault-every FAULT-EVERY), all fed to the trend window
// as the window's exchange feeds it.
#include "sim_module.h"
#include "trend/trend_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

namespace {
constexpr int kSettleMs = 300; // for the window to be laid out and painted
const QDateTime kRunStart =
    QDateTime::fromString(QStringLiteral("2026-12-07T10:24:08Z"), Qt::ISODate);

modbus::ExchangeRecord measurementReply(qint64 ms, std::optional<std::uint16_t> ppm) {
    modbus::ExchangeRecord record;
    record.time = kRunStart.addMSecs(ms);
    record.event = modbus::ExchangeRecord::Event::Reply;
    record.kind = modbus::RequestKind::Measurement;
    record.status =
        ppm ? modbus::ExchangeRecord::Status::Accepted : modbus::ExchangeRecord::Status::Rejected;
    record.registers[modbus::kConcentrationRegister] = ppm;
    record.address = 1;
    return record;
}

void feedFixedRun(TrendWindow &trend, int seconds, int intervalMs, int faultEvery) {
    std::mt19937 jitter(sim::Options{}.seed);
    int reply = 0;
    for (qint64 ms = 0; ms <= qint64(seconds) * 1000; ms += intervalMs) {
        const std::uint16_t ppm = sim::driftedConcentration(double(ms) / 1000.0, jitter);
        const bool rejected = ++reply % faultEvery == 0;
        trend.add(measurementReply(ms, rejected ? std::nullopt : std::optional(ppm)));
    }
}
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int seconds = argc == 5 ? arguments[2].toInt() : 0;
    const int intervalMs = argc == 5 ? arguments[3].toInt() : 0;
    const int faultEvery = argc == 5 ? arguments[4].toInt() : 0;
    if (seconds <= 0 || intervalMs <= 0 || faultEvery <= 0) {
        qWarning("usage: trend_screenshot OUT.png SECONDS INTERVAL-MS FAULT-EVERY");
        return 2;
    }
    TrendWindow trend;
    feedFixedRun(trend, seconds, intervalMs, faultEvery);
    trend.show();
    trend.redraw();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kSettleMs)
        app.processEvents(QEventLoop::AllEvents, 50);
    return trend.grab().save(arguments[1]) ? 0 : 1;
}
