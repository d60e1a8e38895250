#include "help_text.h"

#include <QStringList>

namespace help {

QString wrapped(const QString &text, int indent) {
    QString lines;
    QString line;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kWidth) {
            lines += QString(indent, u' ') + line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return lines + QString(indent, u' ') + line + u'\n';
}

QString entry(const QString &term, const QString &description, int column) {
    const QString head = QStringLiteral("  ") + term;
    // Two blanks at least between them: help2man takes a single blank as part of the term.
    if (head.size() + 2 > column)
        return head + u'\n' + wrapped(description, column);
    return head.leftJustified(column) + wrapped(description, column).mid(column);
}

} // namespace help
