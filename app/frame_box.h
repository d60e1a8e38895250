#pragma once

#include <QGroupBox>

// A frame as the window's layout draws it: an etched rectangle with the caption set into its top
// edge, on the frame's own background colour (no style tint), children placed from its top-left.
class FrameBox final : public QGroupBox {
    Q_OBJECT
public:
    explicit FrameBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
