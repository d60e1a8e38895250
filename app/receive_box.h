#pragma once

#include <QPlainTextEdit>

// The receive box txtState: it shows the received bytes and the user may still type or paste in
// it. Like the multi-line text box it stands for, it holds at most 65535 characters; a longer
// paste or text is cut there. Lines wrap only between words (the hex text's bytes), never inside
// one long token, so any text it can hold is laid out in linear time. Tab moves the focus on.
class ReceiveBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 65535;

    explicit ReceiveBox(QWidget *parent = nullptr);

    // The text, cut to kMaxLength; the box is laid out at once (see settle()).
    void setText(const QString &text);
    // Empties the box and lays it out at once.
    void clearText();

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int roomFor(int replaced) const;
    // A text that needs the scroll bar, or no longer needs it, shows or hides the bar through a
    // queued call; that posts a layout request to the box, and a shown bar posts a request to be
    // painted. Qt would handle those only after the repaint already pending, and then repaint the
    // box's edge once more: handled now, the next repaint draws the box once.
    void settle();
};
