#include "frame_box.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kCaptionIndent = 6;
constexpr int kCaptionPadding = 2;
} // namespace

FrameBox::FrameBox(QWidget *parent) : QGroupBox(parent) {
    setAutoFillBackground(true);
}

void FrameBox::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect edge = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(edge);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(edge.translated(1, 1));
    // The caption lies in the band of one text line at the top; a repaint below it (a box in the
    // frame showing a new value) need not lay its text out again.
    if (title().isEmpty() || event->rect().top() >= metrics.height())
        return;
    const QRect caption(kCaptionIndent, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}
