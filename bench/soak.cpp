// Soak: the real window and serial control poll the simulated module every 50 ms with noise on the
// line, for a given number of seconds; prints memory, descriptors and the exchange counts.
//   soak [seconds=600] [noise-every=3]
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "serial/qt_comm_control.h"
#include "sim_runner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}
int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).count()) - 2;
}
} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const RunEnvironment environment; // as the program does
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int noiseEvery = argc > 2 ? std::atoi(argv[2]) : 3;

    sim::Options options;
    options.drift = false;
    options.fault = sim::Fault::Noise;
    options.faultEvery = noiseEvery;
    SimRunner sim(options);
    const QString register0 = QString::number(sim.module().registers()[0]);

    int messages = 0;
    frmMain window(std::make_unique<QtCommControl>([&sim](int) { return sim.path(); }),
                   {[&messages](const Message &) { ++messages; }, [](const QUrl &) {}, {}});
    window.Form_Load();
    int wrongValues = 0;
    QObject::connect(window.txtValue[0], &QLineEdit::textChanged, [&](const QString &text) {
        if (text != register0)
            ++wrongValues;
    });
    window.ui.txtTimerSet->setText(QStringLiteral("50"));
    window.ui.cmdOneM->click();

    // Warm up for 10 s, then take the starting figures.
    QElapsedTimer clock;
    clock.start();
    long rssStart = 0;
    int fdStart = 0;
    QTimer::singleShot(10'000, [&] {
        rssStart = residentKiB();
        fdStart = openDescriptors();
    });
    QTimer::singleShot((seconds + 10) * 1000, &app, &QApplication::quit);
    app.exec();
    window.ui.cmdStopOnce->click();

    const long rssEnd = residentKiB();
    const int fdEnd = openDescriptors();
    std::printf("soak: %d s of polling every 50 ms, noise before every %d. reply\n", seconds,
                noiseEvery);
    std::printf("requests sent (lblCounter)      %s\n", qPrintable(window.ui.lblCounter->text()));
    std::printf("requests the module saw         %d\n", sim.module().requestsSeen());
    std::printf("replies the module sent         %d\n", sim.module().requestsAnswered());
    std::printf("events counted (RecCount)       %d\n", window.RecCount);
    std::printf("values other than the register %d\n", wrongValues);
    std::printf("message boxes                   %d\n", messages);
    std::printf("resident memory  start %ld KiB, end %ld KiB, growth %ld KiB\n", rssStart, rssEnd,
                rssEnd - rssStart);
    std::printf("open descriptors start %d, end %d\n", fdStart, fdEnd);
    return wrongValues == 0 && messages == 0 ? 0 : 1;
}
