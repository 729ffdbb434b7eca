// Tavrin: the offline viewer of audit-log packages. Usage: Tavrin [PACKAGE.tar ...]
#include <QApplication>
#include <QStringList>

#include "common/language_choice.h"
#include "common/sqlite_memory.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "tavrin/app/tavrin_app.h"
#include "tavrin/ui/tavrin_dlg.h"

int main(int argc, char** argv) {
    common::ConfigureSqliteMemory();  // before anything opens a database or starts a thread
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    const QStringList args = QApplication::arguments();

    CTavrinApp app(platform::ProgramFolder(), platform::UserRuntimeFolder(),
                   common::IsChineseLocale());
    // Every package named on the command line is imported, one after the other, once the
    // window runs.
    const QStringList packages = args.mid(1);
    app.m_onDialogReady = [packages](CTavrinDlg& dlg) { dlg.ImportPackagesWhenShown(packages); };
    app.InitInstance();
    return app.ExitInstance();
}
