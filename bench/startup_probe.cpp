// The tool's start-up as main() does it, reporting the moment of the window's first paint:
// prints the CLOCK_MONOTONIC time in ns and exits.
//   startup_probe tool PATH   the tool, its COM1 being the terminal at PATH
//   startup_probe minimal     a bare Qt Widgets window: the floor any Qt program pays
//   startup_probe minimal-cjk the same bare window showing one Chinese caption in the window's
//                             font (SimSun 9 pt or its stand-in): the floor for a Chinese window
#include "app/frm_main.h"
#include "app/run_environment.h"
#include "serial/qt_comm_control.h"

#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <ctime>
#include <optional>

namespace {
class FirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first_paint_ns %lld\n",
                        (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};
} // namespace

int main(int argc, char *argv[]) {
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const bool bare = mode == "minimal" || mode == "minimal-cjk";
    std::optional<RunEnvironment> environment;
    if (!bare)
        environment.emplace(); // as the program does
    QApplication app(argc, argv);
    if (environment)
        environment->restore();
    FirstPaint probe;
    std::unique_ptr<QWidget> window;
    if (mode == "minimal") {
        auto *label = new QLabel(QStringLiteral("GX7140R"));
        label->resize(604, 410);
        window.reset(label);
    } else if (mode == "minimal-cjk") {
        for (const auto &[family, substitutes] : window_texts::kFontSubstitutes)
            QFont::insertSubstitutions(QString::fromUtf8(family), substitutes);
        auto *label = new QLabel(window_texts::kAppTitle);
        label->setFont(QFont(QStringLiteral("SimSun"), 9));
        label->resize(604, 410);
        window.reset(label);
    } else {
        const QString port = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
        auto tool = std::make_unique<frmMain>(std::make_unique<QtCommControl>(
            port.isEmpty() ? QtCommControl::systemPortNameMapper()
                           : QtCommControl::PortNameMapper([port](int) { return port; })));
        tool->Form_Load();
        window = std::move(tool);
    }
    window->installEventFilter(&probe);
    window->show();
    return app.exec();
}
