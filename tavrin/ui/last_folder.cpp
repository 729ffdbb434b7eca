#include "tavrin/ui/last_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace ui {

namespace {
const char kKey[] = "open/lastPackageFolder";
const char kSizeKey[] = "window/size";
}  // namespace

QString DefaultSettingsFile() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("Tavrin/Tavrin.conf"));
}

CLastFolder::CLastFolder(QString settingsFile) : m_strSettingsFile(std::move(settingsFile)) {}

QString CLastFolder::Folder() const {
    QSettings settings(m_strSettingsFile, QSettings::IniFormat);
    const QString folder = settings.value(QLatin1String(kKey)).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return QString();
    return folder;
}

bool CLastFolder::Remember(const QString& packagePath) {
    const QFileInfo file(packagePath);
    if (packagePath.isEmpty() || !file.isFile()) return false;
    QSettings settings(m_strSettingsFile, QSettings::IniFormat);
    settings.setValue(QLatin1String(kKey), file.absolutePath());
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QSize CLastFolder::WindowSize() const {
    QSettings settings(m_strSettingsFile, QSettings::IniFormat);
    const QSize size = settings.value(QLatin1String(kSizeKey)).toSize();
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

bool CLastFolder::RememberWindowSize(const QSize& size) {
    if (size.width() <= 0 || size.height() <= 0) return false;
    QSettings settings(m_strSettingsFile, QSettings::IniFormat);
    settings.setValue(QLatin1String(kSizeKey), size);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace ui
