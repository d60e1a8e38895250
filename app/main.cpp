#include "app/frm_main.h"
#include "serial/qt_comm_control.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    frmMain window(std::make_unique<QtCommControl>());
    window.Form_Load();
    window.show();
    return app.exec();
}
