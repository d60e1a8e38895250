#pragma once

#include <QRegularExpression>
#include <QString>

// Whether a text still holds Chinese (CJK ideographs or full-width forms): for the English tests.
inline bool hasChinese(const QString &text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{2E80}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(cjk);
}
