#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// The window's texts in another language (--lang): a Qt Linguist translation installed beside the
// program. Without one the window speaks its own Chinese, whatever the locale.
namespace translation {

// Where the program looks for gx7140r-tool_<lang>.qm: beside the executable (the build tree) and
// in the installed share folder.
QStringList folders();

// Loads and installs the translation for the language; false (nothing installed) when no file is
// found. The translator belongs to the application.
bool install(const QString &language, const QStringList &searchFolders = folders());

// Qt's own texts (the file dialogs' buttons and captions) for the window's Chinese, from Qt's
// translation folder (Debian: qt6-translations-l10n). False when that file is not installed:
// the dialogs then speak Qt's English.
bool installQtChinese();

} // namespace translation
