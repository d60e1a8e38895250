// Polls a module (a simulator's terminal) and saves a picture of the trend window beside it:
//   trend_screenshot OUT.png PORT-PATH SECONDS INTERVAL-MS [the program's options: --log FILE ...]
// The window polls as after a click on "循环" with that interval; the picture is taken at the end.
#include "app/around_window.h"
#include "app/command_line.h"
#include "app/frm_main.h"
#include "serial/qt_comm_control.h"
#include "trend/trend_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const ToolCommandLine commandLine = parseToolCommandLine(arguments.mid(5));
    if (argc < 5 || commandLine.action != ToolCommandLine::Action::RunWindow) {
        qWarning("usage: trend_screenshot OUT.png PORT-PATH SECONDS INTERVAL-MS [--log FILE]");
        return 2;
    }
    const QString portPath = arguments[2];
    frmMain window(std::make_unique<QtCommControl>([portPath](int) { return portPath; }),
                   {[](const Message &m) { qWarning("message: %s", qPrintable(m.text)); }, {}, {}});
    window.Form_Load();
    std::unique_ptr<CsvLog> log;
    QString error;
    if (!commandLine.options.logPath.isEmpty() &&
        !(log = CsvLog::open(commandLine.options.logPath, error))) {
        qWarning("%s", qPrintable(error));
        return 2;
    }
    AroundWindow around(window, std::move(log), true);
    window.show();
    around.showBeside(window);
    window.ui.txtTimerSet->setText(arguments[4]);
    window.cmdOneM_Click();
    QTimer::singleShot(arguments[3].toInt() * 1000, &app, [&] {
        window.cmdStopOnce_Click();
        around.trendWindow()->redraw();
        QTimer::singleShot(
            300, &app, [&] { app.exit(around.trendWindow()->grab().save(arguments[1]) ? 0 : 1); });
    });
    return app.exec();
}
