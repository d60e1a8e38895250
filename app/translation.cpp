#include "translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace translation {

QStringList folders() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder + QStringLiteral("/translations"),
            programFolder + QStringLiteral("/../share/gx7140r-tool/translations")};
}

bool install(const QString &language, const QStringList &searchFolders) {
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : searchFolders) {
        if (translator->load(QStringLiteral("gx7140r-tool_") + language, folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

bool installQtChinese() {
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

} // namespace translation
