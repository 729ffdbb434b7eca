// CControlLoader: builds dialog template 102 with the program's own control classes. The
// template declares them as custom widgets by class name ("CAuditComboBox",
// "CPackageComboBox", extending QComboBox); this loader creates the real classes for those
// names and leaves every other class to QUiLoader. Pass it to CLangModule::LoadDialogTemplate.
#pragma once

#include <QUiLoader>

namespace ui {

class CControlLoader : public QUiLoader {
  public:
    using QUiLoader::QUiLoader;
    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;
};

}  // namespace ui
