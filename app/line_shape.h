#pragma once

#include <QWidget>

// A line drawn across the widget's box: horizontal when the box is one pixel high, otherwise a
// diagonal, falling (top-left to bottom-right) or rising (bottom-left to top-right).
class LineShape final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool risingDiagonal READ risingDiagonal WRITE setRisingDiagonal)
public:
    explicit LineShape(QWidget *parent = nullptr);
    bool risingDiagonal() const { return rising_; }
    void setRisingDiagonal(bool rising);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool rising_ = false;
};
