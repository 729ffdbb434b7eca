#include "tavrin/ui/control_loader.h"

#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/package_combo_box.h"

namespace ui {

QWidget* CControlLoader::createWidget(const QString& className, QWidget* parent,
                                      const QString& name) {
    QWidget* widget = nullptr;
    if (className == QLatin1String("CAuditComboBox"))
        widget = new CAuditComboBox(parent);
    else if (className == QLatin1String("CPackageComboBox"))
        widget = new CPackageComboBox(parent);
    else
        return QUiLoader::createWidget(className, parent, name);
    widget->setObjectName(name);
    return widget;
}

}  // namespace ui
