#include "list_accessible.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

class ListAccessible final : public QAccessibleWidget {
public:
    explicit ListAccessible(QComboBox *list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        const QString entry =
            list()->isEditable() ? list()->lineEdit()->text() : list()->currentText();
        if (kind == QAccessible::Value)
            return entry;
        if (kind == QAccessible::Name && list()->accessibleName().isEmpty())
            return entry; // a list with no name of its own says its entry, as Qt's does
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString &action) override {
        if (action == showMenuAction())
            list()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

// Interfaces are made, and kept, as soon as a list is built, before the window names it: every
// combo box gets this one, which looks at the name when asked.
QAccessibleInterface *listFactory(const QString &className, QObject *object) {
    auto *list = qobject_cast<QComboBox *>(object);
    if (className != QLatin1String("QComboBox") || !list)
        return nullptr;
    return new ListAccessible(list);
}

} // namespace

void installListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(listFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
