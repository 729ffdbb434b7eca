// The folder of the last package opened, remembered in the user's settings folder so that the
// open-file dialog starts there the next time, in this run and the next ones. It is never kept
// in ".\code.ini", which holds only the text-encoding choice. Plain code (Qt Core's settings),
// user-interface thread.
#pragma once

#include <QSize>
#include <QString>

namespace ui {

// The settings file: "Tavrin/Tavrin.conf" in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), read again on every call.
QString DefaultSettingsFile();

class CLastFolder {
  public:
    // settingsFile: where the folder is kept (an INI file; created on the first Remember).
    explicit CLastFolder(QString settingsFile = DefaultSettingsFile());

    // The remembered folder, or empty text when none is remembered or it no longer exists
    // (the dialog then starts where the platform starts it).
    QString Folder() const;

    // Remembers the folder of packagePath (made absolute). Paths that name no existing file
    // are ignored. Returns false when the setting could not be written.
    bool Remember(const QString& packagePath);

    // The main window's size at the end of the last run, invalid when none is remembered.
    QSize WindowSize() const;
    // Remembers the main window's size. Returns false when the setting could not be written.
    bool RememberWindowSize(const QSize& size);

  private:
    QString m_strSettingsFile;
};

}  // namespace ui
