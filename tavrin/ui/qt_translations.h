// Qt's own texts (the buttons of message boxes, the open-file dialog, the context menus of
// text fields) in the language of the language module: Qt's translation catalogs, which
// Debian installs with qt6-translations-l10n. User-interface thread, after the application
// object exists.
#pragma once

#include <QString>

class QTranslator;

namespace ui {

// Installs the catalog "qtbase_<locale>" from folder for the Chinese module (bChinese) and
// makes that locale Qt's default; the English module needs none (Qt's texts are English).
// Returns the installed translator, owned by the application, or null when none was
// installed: English, no application object, or a catalog missing from folder (then Qt's
// texts stay English and a line on standard error says why). folder empty: Qt's own
// translations folder.
QTranslator* InstallQtTranslations(bool bChinese, const QString& folder = QString());

// Undoes InstallQtTranslations: removes and deletes translator (null: nothing to do) and
// makes the system locale Qt's default again.
void RemoveQtTranslations(QTranslator* translator);

}  // namespace ui
