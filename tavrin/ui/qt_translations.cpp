#include "tavrin/ui/qt_translations.h"

#include <cstdio>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {

QTranslator* InstallQtTranslations(bool bChinese, const QString& folder) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!bChinese || !app) return nullptr;
    const QString where =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    const QLocale locale(QLocale::Chinese, QLocale::China);
    auto* translator = new QTranslator(app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), where)) {
        std::fprintf(stderr, "Qt's Chinese texts (qtbase_zh_CN.qm) are missing from %s\n",
                     where.toLocal8Bit().constData());
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    QLocale::setDefault(locale);
    return translator;
}

void RemoveQtTranslations(QTranslator* translator) {
    if (!translator) return;
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

}  // namespace ui
