#include "value_and_lamp_accessible.h"

#include "ui_frm_main.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// Each value box and the label beside it on its row; the alarm rows are hidden, as their boxes.
struct BoxAndLabel {
    QLineEdit *Ui::frmMain::*box;
    QLabel *Ui::frmMain::*label;
};
constexpr BoxAndLabel kBoxesAndLabels[] = {
    {&Ui::frmMain::txtValue_0, &Ui::frmMain::lblDanWei_0},
    {&Ui::frmMain::txtValue_1, &Ui::frmMain::lblDanWei_3},
    {&Ui::frmMain::txtValue_2, &Ui::frmMain::Label2_4},
    {&Ui::frmMain::txtValue_3, &Ui::frmMain::Label2_2},
    {&Ui::frmMain::txtValue_4, &Ui::frmMain::Label2_3},
    {&Ui::frmMain::txtValue_5, &Ui::frmMain::Label2_5},
    {&Ui::frmMain::txtValue_6, &Ui::frmMain::Label2_8},
    {&Ui::frmMain::txtValue_7, &Ui::frmMain::Label2_6},
};

const char *const kStatusIndicatorProperty = "gx7140rStatusIndicator";

class StatusIndicatorAccessible final : public QAccessibleWidget {
public:
    explicit StatusIndicatorAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::StatusBar) {}
};

QAccessibleInterface *statusIndicatorFactory(const QString &, QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || !widget->property(kStatusIndicatorProperty).toBool())
        return nullptr;
    return new StatusIndicatorAccessible(widget);
}

} // namespace

void describeValueBoxes(const Ui::frmMain &ui) {
    for (const auto &[box, label] : kBoxesAndLabels)
        (ui.*box)->setAccessibleDescription((ui.*label)->text().simplified());
}

void exposeLampAsStatusIndicator(const Ui::frmMain &ui) {
    static const bool installed = [] {
        QAccessible::installFactory(statusIndicatorFactory);
        return true;
    }();
    Q_UNUSED(installed);
    QWidget *lamp = ui.Picture2;
    lamp->setProperty(kStatusIndicatorProperty, true);
    // While a screen reader listens, Qt makes a widget's interface as soon as the widget is built,
    // before it is marked: that one, a frame's, is dropped, and the next one asked for is made
    // anew.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(lamp);
    if (made && made->role() != QAccessible::StatusBar)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
