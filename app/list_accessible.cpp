#include "list_accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace {

// The popup's list keeps the list's entry selected also while it is closed (Qt's combo box only
// selects it when the popup opens), so that the entry can be found and followed among its items.
void selectEntryInPopup(QComboBox *list) {
    QItemSelectionModel *selection = list->view() ? list->view()->selectionModel() : nullptr;
    if (!selection)
        return;
    const QModelIndex entry =
        list->model()->index(list->currentIndex(), list->modelColumn(), list->rootModelIndex());
    if (entry.isValid())
        selection->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
}

class ListAccessible final : public QAccessibleWidget {
public:
    explicit ListAccessible(QComboBox *list) : QAccessibleWidget(list, QAccessible::ComboBox) {
        selectEntryInPopup(list);
        QObject::connect(list, &QComboBox::currentIndexChanged, list,
                         [list] { selectEntryInPopup(list); });
    }

    QString text(QAccessible::Text kind) const override {
        const QString entry =
            list()->isEditable() ? list()->lineEdit()->text() : list()->currentText();
        if (kind == QAccessible::Value)
            return entry;
        if (kind == QAccessible::Name && list()->accessibleName().isEmpty())
            return entry; // a list with no name of its own says its entry, as Qt's does
        return QAccessibleWidget::text(kind);
    }

    // The children of Qt's own combo box interface: the popup's list (one item per entry), and
    // the entry field of an editable list.
    int childCount() const override { return list()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(list()->view());
        if (index == 1 && list()->isEditable())
            return QAccessible::queryAccessibleInterface(list()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child)
            return -1;
        if (child->object() == list()->view())
            return 0;
        return list()->isEditable() && child->object() == list()->lineEdit() ? 1 : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override {
        QLineEdit *field = list()->isEditable() ? list()->lineEdit() : nullptr;
        if (field && field->rect().contains(field->mapFromGlobal(QPoint(x, y))))
            return child(1);
        return nullptr;
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
