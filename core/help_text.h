#pragma once

#include <QString>

// The programs' --help texts are built, not typed: words wrapped to the terminal's usual width,
// so that figures taken from the module's facts can be put into them.
namespace help {

inline constexpr int kWidth = 79;

// The words of `text`, each line indented by `indent` blanks and at most kWidth long; every line
// ends with a line break.
QString wrapped(const QString &text, int indent);

// "  term                 description": the description wrapped under itself from column
// `column`; a term that leaves fewer than two blanks before it gets a line of its own.
QString entry(const QString &term, const QString &description, int column);

} // namespace help
