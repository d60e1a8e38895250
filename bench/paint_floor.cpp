// The paint floor: what showing a poll costs at least. The window's own form is shown with no
// serial port behind it; on a timer it puts into the controls exactly what a poll of 10 registers
// changes, in the two steps the tool shows them:
//   the request  the receive box emptied, the lamp yellow, the request counter + 1 (and the
//                request's hex text, which only the first request changes)
//   the reply    REPLY_MS later (default 1 ms, about what the simulated module takes on a pty):
//                the reply's hex text in the receive box, the lamp green, the
//                reception counter + 1, the value boxes whose value changed
// The replies are those of the simulated module without --steady (its drifting concentration,
// same seed), built before the clock starts. Texts are set only when they change, and the receive
// box is laid out at once after each change (its scroll bar comes and goes), so that each step is
// one repaint pass: the least any program showing these texts in this form has to do.
//   paint_floor SECONDS MS [REPLY_MS] [--tool-environment]
// With --tool-environment it first makes the environment settings the tool makes for itself
// (app/run_environment.h), to show what of the tool's figure is owed to them.
// Prints the "key value" lines of `exchange poll` for bench/run.py.
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "bench_support.h"
#include "core/frame_codec.h"
#include "core/module_protocol.h"
#include "serial/comm_control.h"
#include "sim_module.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <random>
#include <vector>

namespace {

// A serial control with nothing behind it: every operation succeeds, nothing is ever received.
class NoPort final : public CommControl {
public:
    using CommControl::CommControl;
    bool setCommPort(int port) override { return port_ = port, true; }
    int CommPort() const override { return port_; }
    bool setSettings(const QString &settings) override { return settings_ = settings, true; }
    QString Settings() const override { return settings_; }
    bool PortOpen() const override { return open_; }
    bool setPortOpen(bool open) override { return open_ = open, true; }
    PortRefusal lastOpenRefusal() const override { return {}; }
    bool setInputMode(int) override { return true; }
    bool setInputLen(int) override { return true; }
    bool setInBufferCount(int) override { return true; }
    bool setOutBufferCount(int) override { return true; }
    bool setRThreshold(int bytes) override { return threshold_ = bytes, true; }
    int RThreshold() const override { return threshold_; }
    bool setSThreshold(int) override { return true; }
    bool Output(const QByteArray &) override { return open_; }
    QByteArray Input() override { return {}; }
    QByteArray waitingInput() override { return {}; }
    int CommEvent() const override { return 0; }

private:
    int port_ = 1;
    QString settings_;
    bool open_ = false;
    int threshold_ = 0;
};

struct Reply {
    QString hexText;
    std::array<QString, modbus::kValueBoxCount> values;
};

// What the module answers to poll n, n = 0, 1, ...
std::vector<Reply> moduleReplies(int count, int interval) {
    std::mt19937 random(sim::Options{}.seed);
    std::vector<Reply> replies;
    for (int n = 0; n < count; ++n) {
        auto registers = sim::kDefaultRegisters;
        registers[0] = sim::driftedConcentration(n * interval / 1000.0, random);
        registers[1] = registers[0] > registers[7] ? 1 : 0;
        QByteArray block;
        block.append(char(1)).append(char(modbus::kReadHoldingRegisters));
        block.append(char(2 * sim::kRegisterCount));
        for (const std::uint16_t value : registers)
            block.append(char(value >> 8)).append(char(value & 0xFF));
        const std::uint16_t crc = modbus::crc16Modbus(modbus::bytesOf(block));
        block.append(char(crc & 0xFF)).append(char(crc >> 8));
        Reply reply{modbus::replyHexText(block), {}};
        for (int box = 0; box < modbus::kValueBoxCount; ++box)
            reply.values[box] = QString::number(registers[box]);
        replies.push_back(reply);
    }
    return replies;
}

QString requestText() {
    modbus::Frame frame{1, modbus::kReadHoldingRegisters, 0, 0, 0, 10, 0, 0};
    const std::uint16_t crc = modbus::crc16Modbus(std::span(frame.data(), 6));
    frame[6] = std::uint8_t(crc & 0xFF);
    frame[7] = std::uint8_t(crc >> 8);
    return modbus::requestHexText(frame);
}

void setIfChanged(QLineEdit *box, const QString &text) {
    if (box->text() != text)
        box->setText(text);
}

} // namespace

int main(int argc, char *argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    std::optional<RunEnvironment> environment;
    if (args.removeAll(QStringLiteral("--tool-environment")) > 0)
        environment.emplace();
    QApplication app(argc, argv);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: paint_floor SECONDS MS [REPLY_MS] [--tool-environment]\n");
        return 2;
    }
    const int seconds = args[0].toInt();
    const int interval = std::max(1, args[1].toInt());
    const int replyDelay = args.size() > 2 ? std::max(0, args[2].toInt()) : 1;
    const std::vector<Reply> replies = moduleReplies(seconds * 1000 / interval + 100, interval);
    const QString request = requestText();

    frmMain window(std::make_unique<NoPort>(), frmMain::Seams{[](const Message &) {}, {}, {}});
    window.Form_Load();
    window.show();
    letWindowSettle();
    auto &ui = window.ui;
    PaintCounter counter;
    app.installEventFilter(&counter);

    const double cpuBefore = cpuSeconds();
    const Usage usage;
    std::optional<CallgrindStretch> callgrind(std::in_place);
    // As a click on "循环" leaves the window.
    ui.txtTimerSet->setText(QString::number(interval));
    ui.lblCounter->setText(QStringLiteral("1"));
    ui.lblErrCounter->setText(QStringLiteral("1"));
    int sent = 0;
    int received = 0;
    QTimer reply;
    reply.setSingleShot(true);
    reply.setTimerType(Qt::PreciseTimer);
    reply.setInterval(replyDelay);
    QObject::connect(&reply, &QTimer::timeout, [&] {
        const Reply &r = replies[std::size_t(received) % replies.size()];
        ++received;
        ui.lblErrCounter->setText(QString::number(received + 1));
        ui.txtState->setText(r.hexText);
        for (std::size_t box = 0; box < r.values.size(); ++box)
            setIfChanged(window.txtValue[box], r.values[box]);
        ui.imgConnected->raise();
        ui.Picture2->setAccessibleDescription(window_texts::kLampGreen);
    });
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++sent;
        ui.txtState->clearText();
        ui.lblCounter->setText(QString::number(sent + 1));
        ui.ImgYellow->raise();
        ui.Picture2->setAccessibleDescription(window_texts::kLampYellow);
        if (ui.txtCommand->text() != request) {
            ui.txtCommand->setText(request);
            ui.txtCommand->home(false);
        }
        reply.start();
    });
    tick.start(interval);
    QTimer::singleShot(seconds * 1000 + interval / 2, Qt::PreciseTimer, &app,
                       &QCoreApplication::quit);
    app.exec();
    callgrind.reset();
    tick.stop();
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("poll_interval_ms %d\npoll_seconds %d\npoll_requests %d\npoll_replies %d\n",
                interval, seconds, sent, received);
    std::printf("poll_repaint_passes %ld\npoll_paint_events %ld\npoll_cpu_s %.4f\n", counter.passes,
                counter.paints, cpu);
    usage.print("poll");
    return 0;
}
