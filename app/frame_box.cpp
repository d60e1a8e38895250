#include "frame_box.h"

#include <QPainter>

namespace {
constexpr int kCaptionIndent = 6;
constexpr int kCaptionPadding = 2;
} // namespace

FrameBox::FrameBox(QWidget *parent) : QGroupBox(parent) {
    setAutoFillBackground(true);
}

void FrameBox::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect edge = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(edge);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(edge.translated(1, 1));
    if (title().isEmpty())
        return;
    const QRect caption(kCaptionIndent, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}
