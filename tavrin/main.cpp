// Tavrin: the offline viewer of audit-log packages. Usage: Tavrin [PACKAGE.tar]
#include <QApplication>
#include <QStringList>

#include "platform/paths.h"
#include "platform/single_instance.h"
#include "tavrin/tavrin_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    const QStringList args = QApplication::arguments();

    CTavrinApp app(platform::ProgramFolder(), platform::UserRuntimeFolder(), IsChineseLocale());
    app.InitInstance(args.size() > 1 ? args.at(1) : QString());
    return app.ExitInstance();
}
