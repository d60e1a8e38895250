// Saves a picture of the started window: window_screenshot OUT.png [port-path [language]]
// With a port path (a simulator's terminal) COM1 is opened there and one measurement is shown;
// with a language (en) the window speaks it, as with --lang.
#include "app/frm_main.h"
#include "app/translation.h"
#include "serial/qt_comm_control.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QScreen>

namespace {
constexpr int kLongestReplyWaitMs = 5000;
constexpr int kSettleMs = 300; // for the window to be laid out and painted
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: window_screenshot OUT.png [port-path]");
        return 2;
    }
    if (argc > 3 && !translation::install(QString::fromLocal8Bit(argv[3]))) {
        qWarning("no translation for %s", argv[3]);
        return 2;
    }
    const QString portPath =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/nonexistent");
    frmMain window(std::make_unique<QtCommControl>([portPath](int) { return portPath; }),
                   {[](const Message &m) { qWarning("message: %s", qPrintable(m.text)); }, {}, {}});
    window.Form_Load();
    window.show();
    const bool reading = argc > 2 && QFile::exists(portPath);
    if (reading)
        window.comDoOnce_Click();
    // The reply handled, whatever the machine's load, then the window painted as it shows it.
    QElapsedTimer waited;
    waited.start();
    while (reading && window.RecCount == 0 && waited.elapsed() < kLongestReplyWaitMs)
        app.processEvents(QEventLoop::AllEvents, 50);
    if (reading && window.RecCount == 0) {
        qWarning("no reply from the module on %s", qPrintable(portPath));
        return 1;
    }
    waited.restart();
    while (waited.elapsed() < kSettleMs)
        app.processEvents(QEventLoop::AllEvents, 50);
    const QPixmap shot = window.grab();
    return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
