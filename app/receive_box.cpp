#include "receive_box.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

ReceiveBox::ReceiveBox(QWidget *parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setWordWrapMode(QTextOption::WordWrap);
}

namespace {
// The text cut to `room` characters, never between the two halves of a surrogate pair.
QString cutToRoom(QString text, int room) {
    if (text.size() <= room)
        return text;
    text.truncate(room);
    if (!text.isEmpty() && text.back().isHighSurrogate())
        text.chop(1);
    return text;
}
} // namespace

void ReceiveBox::setText(const QString &text) {
    setPlainText(cutToRoom(text, kMaxLength));
    settle();
}

void ReceiveBox::clearText() {
    clear();
    settle();
}

void ReceiveBox::settle() {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(this, QEvent::LayoutRequest);
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
        QCoreApplication::sendPostedEvents(bar->parentWidget(), QEvent::UpdateLater);
        QCoreApplication::sendPostedEvents(bar, QEvent::UpdateLater);
    }
}

int ReceiveBox::roomFor(int replaced) const {
    const int length = document()->characterCount() - 1; // without the closing paragraph mark
    return std::max(0, kMaxLength - (length - replaced));
}

void ReceiveBox::insertFromMimeData(const QMimeData *source) {
    if (!source || !source->hasText())
        return;
    const QString text =
        cutToRoom(source->text(), roomFor(int(textCursor().selectedText().size())));
    textCursor().insertText(text);
    ensureCursorVisible();
}

void ReceiveBox::keyPressEvent(QKeyEvent *event) {
    // A full box takes no more typed characters (editing keys still work).
    const bool inserts = !event->text().isEmpty() && event->text().at(0).isPrint();
    if (inserts && roomFor(int(textCursor().selectedText().size())) < event->text().size()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
