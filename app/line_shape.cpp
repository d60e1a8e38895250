#include "line_shape.h"

#include <QPainter>

LineShape::LineShape(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void LineShape::setRisingDiagonal(bool rising) {
    rising_ = rising;
    update();
}

void LineShape::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    const QRect box = rect();
    if (box.height() <= 1)
        painter.drawLine(box.left(), box.top(), box.right(), box.top());
    else if (box.width() <= 1)
        painter.drawLine(box.left(), box.top(), box.left(), box.bottom());
    else if (rising_)
        painter.drawLine(box.bottomLeft(), box.topRight());
    else
        painter.drawLine(box.topLeft(), box.bottomRight());
}
