#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

// The controls of a shown window whose caption is wider than the room its control leaves: each
// visible label (on the lines it wraps onto, if it wraps), button, list field and frame title must
// be drawn whole.
inline QStringList clippedCaptions(const QWidget &window, const QWidget *ignored = nullptr) {
    QStringList clipped;
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->isVisible() || label->text().isEmpty() || label == ignored)
            continue;
        if (label->wordWrap()) {
            const QRect drawn = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 10 * label->height()), Qt::TextWordWrap, label->text());
            if (drawn.width() > label->width() || drawn.height() > label->height())
                clipped << label->objectName();
        } else if (label->fontMetrics().horizontalAdvance(label->text()) > label->width()) {
            clipped << label->objectName();
        }
    }
    for (const QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->isVisible() &&
            button->fontMetrics().horizontalAdvance(button->text()) > button->width() - 4)
            clipped << button->objectName();
    }
    for (const QComboBox *list : window.findChildren<QComboBox *>()) {
        // a line edit keeps two pixels of margin on each side of its text
        const QLineEdit *field = list->lineEdit();
        if (field->fontMetrics().horizontalAdvance(field->text()) >
            field->contentsRect().width() - 4)
            clipped << list->objectName();
    }
    for (const QGroupBox *frame : window.findChildren<QGroupBox *>()) {
        if (frame->fontMetrics().horizontalAdvance(frame->title()) > frame->width())
            clipped << frame->objectName();
    }
    return clipped;
}
