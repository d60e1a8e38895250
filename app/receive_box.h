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

    // The text, cut to kMaxLength.
    void setText(const QString &text);

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int roomFor(int replaced) const;
};
