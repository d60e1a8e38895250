// Exchange benchmarks with the real window and serial control over ptys:
//   exchange roundtrip ROUNDS        click on "单次" -> values in the boxes, then libmodbus's own
//                                    master reading the same 10 registers from the same slave
//   exchange wire ROUNDS             round trip against a module paced at 9600 baud
//   exchange poll SECONDS MS PATH [--log FILE] [--trend]
//                                    poll the module at PATH every MS ms with the window shown
//                                    (and the log and the trend window, as the program's options
//                                    ask); prints CPU seconds, requests sent and the tick spacing
// Prints "key value" lines for bench/run.sh.
#include "app/around_window.h"
#include "app/command_line.h"
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "bench_support.h"
#include "core/frame_codec.h"
#include "core/module_protocol.h"
#include "core/wire_time.h"
#include "serial/comm_control.h"
#include "serial/qt_comm_control.h"
#include "sim_runner.h"

#include <modbus/modbus.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Stats {
    double median = 0, p99 = 0;
};

Stats stats(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty())
        return {};
    return {samples[samples.size() / 2],
            samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

std::unique_ptr<frmMain> windowOn(const QString &path) {
    auto window = std::make_unique<frmMain>(
        std::make_unique<QtCommControl>([path](int) { return path; }),
        frmMain::Seams{
            [](const Message &m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); },
            [](const QUrl &) {},
            {}});
    window->Form_Load();
    window->show();
    return window;
}

// Milliseconds from the click to the decoded values standing in the boxes.
std::vector<double> toolRoundTrips(frmMain &window, int warmUp, int rounds) {
    std::vector<double> samples;
    QElapsedTimer clock;
    bool done = false;
    // Connected after the window's own handler, so it runs once the values are in the boxes.
    QObject::connect(&window.MSComm1, &CommControl::OnComm, [&] { done = true; });
    for (int i = 0; i < warmUp + rounds; ++i) {
        done = false;
        clock.start();
        window.comDoOnce_Click();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (i >= warmUp)
            samples.push_back(ms);
    }
    return samples;
}

std::vector<double> libmodbusRoundTrips(const QString &path, int warmUp, int rounds) {
    std::vector<double> samples;
    modbus_t *ctx = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
    modbus_set_slave(ctx, 1);
    if (modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(errno));
        return samples;
    }
    std::uint16_t registers[10];
    QElapsedTimer clock;
    for (int i = 0; i < warmUp + rounds; ++i) {
        clock.start();
        const int n = modbus_read_registers(ctx, 0, 10, registers);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (n == 10 && i >= warmUp)
            samples.push_back(ms);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return samples;
}

void print(const char *name, const Stats &s, std::size_t count) {
    std::printf("%s_median_ms %.4f\n%s_p99_ms %.4f\n%s_count %zu\n", name, s.median, name, s.p99,
                name, count);
}

int roundtrip(int rounds) {
    SimRunner sim(SimRunner::steadyOptions());
    auto window = windowOn(sim.path());
    print("tool", stats(toolRoundTrips(*window, 100, rounds)), std::size_t(rounds));
    window->Command1_Click(); // let libmodbus have the terminal
    const auto peer = libmodbusRoundTrips(sim.path(), 100, rounds);
    print("libmodbus", stats(peer), peer.size());
    return 0;
}

int wire(int rounds) {
    sim::Options options = SimRunner::steadyOptions();
    options.paced = true;
    options.baud = 9600;
    SimRunner sim(options);
    auto window = windowOn(sim.path());
    print("wire", stats(toolRoundTrips(*window, 10, rounds)), std::size_t(rounds));
    const int requestAndReply = int(std::tuple_size_v<modbus::Frame>) + modbus::readReplyLength(10);
    std::printf("wire_limit_ms %.4f\n",
                wireTimeMicroseconds(requestAndReply, options.baud) / 1000.0);
    return 0;
}

int poll(int seconds, int interval, const QString &path, const ToolOptions &options) {
    auto window = windowOn(path);
    std::unique_ptr<CsvLog> log;
    QString error;
    if (!options.logPath.isEmpty() && !(log = CsvLog::open(options.logPath, error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    AroundWindow around(*window, std::move(log), options.trend);
    around.showBeside(*window);
    letWindowSettle();
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    std::vector<qint64> ticks;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&window->Timer2, &WindowTimer::Timer,
                     [&] { ticks.push_back(clock.nsecsElapsed()); });
    const double cpuBefore = cpuSeconds();
    const Usage usage;
    std::optional<CallgrindStretch> callgrind(std::in_place);
    window->ui.txtTimerSet->setText(QString::number(interval));
    window->cmdOneM_Click();
    QTimer::singleShot(seconds * 1000 + interval / 2, Qt::PreciseTimer, qApp,
                       &QCoreApplication::quit);
    qApp->exec();
    callgrind.reset();
    window->cmdStopOnce_Click();
    const qint64 elapsedMs = clock.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    std::vector<double> deviation;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        deviation.push_back(std::abs(double(ticks[i] - ticks[i - 1]) / 1e6 - interval));
    const int sent = window->ui.lblCounter->text().toInt() - 1;
    // The ideal count over the time actually measured (the stop may come late on a busy machine).
    std::printf("poll_interval_ms %d\npoll_seconds %d\npoll_requests %d\npoll_ideal %lld\n",
                interval, seconds, sent, elapsedMs / interval);
    std::printf("poll_repaint_passes %ld\npoll_paint_events %ld\n", counter.passes, counter.paints);
    std::printf("poll_replies %d\npoll_cpu_s %.4f\npoll_dev_p99_ms %.4f\npoll_dev_median_ms %.4f\n",
                window->RecCount - 1, cpu, stats(deviation).p99, stats(deviation).median);
    usage.print("poll");
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    const RunEnvironment environment; // as the program does
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QStringLiteral("roundtrip"))
        return roundtrip(argc > 2 ? std::atoi(argv[2]) : 2000);
    if (mode == QStringLiteral("wire"))
        return wire(argc > 2 ? std::atoi(argv[2]) : 200);
    if (mode == QStringLiteral("poll") && argc > 4) {
        // The program's own options after the path: --log FILE, --trend.
        const ToolCommandLine commandLine = parseToolCommandLine(app.arguments().mid(5));
        if (commandLine.action != ToolCommandLine::Action::RunWindow)
            return 2;
        return poll(std::atoi(argv[2]), std::atoi(argv[3]), QString::fromLocal8Bit(argv[4]),
                    commandLine.options);
    }
    std::fprintf(stderr, "usage: exchange roundtrip N | wire N | "
                         "poll SECONDS MS PATH [--log FILE] [--trend]\n");
    return 2;
}
