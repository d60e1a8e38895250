#include "caption_wrap.h"

#include <QLabel>

void wrapOverlongCaption(QLabel &label) {
    const QFontMetrics metrics = label.fontMetrics();
    const QString caption = label.text();
    if (metrics.horizontalAdvance(caption) <= label.width() || !caption.contains(u' '))
        return;
    constexpr int kLines = 2;
    const int height = kLines * metrics.lineSpacing();
    if (height <= label.height())
        return;
    label.setWordWrap(true);
    const QRect room = label.geometry();
    label.setGeometry(room.x(), room.center().y() - height / 2, room.width(), height);
}
