// CLangModule: a language module, the resource file that holds a program's dialog templates,
// icons and string table (chinese.rcc, english.rcc, Morvel_zh.rcc, Morvel_en.rcc).
//
// A module is a Qt binary resource file whose entries lie under ":/lang/":
//   dialog<ID>.ui   a dialog template (Qt Designer form; controls named by numeric identifier)
//   icon<ID>.png    an icon
//   strings.txt     the string table, UTF-8, one "ID<TAB>text" per line; in text, "\n", "\t"
//                   and "\\" stand for a line end, a tab and a backslash.
// Only one module is registered at a time in a process. User-interface thread only.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

class QUiLoader;
class QWidget;

namespace common {

class CLangModule {
  public:
    CLangModule() = default;
    CLangModule(const CLangModule&) = delete;
    CLangModule& operator=(const CLangModule&) = delete;
    ~CLangModule();  // releases the module if still loaded

    // Registers the module file at filePath (no search, no fallback). Returns false when the
    // file is missing or not a resource file; nothing is loaded then.
    bool Load(const QString& filePath);
    // Unregisters the module; does nothing when none is loaded, so it is safe to call twice.
    void Release();
    bool IsLoaded() const { return !m_strFile.isEmpty(); }
    // Number of times a loaded module has been released (for tests of the exit path).
    int ReleaseCount() const { return m_nReleases; }

    // String table entry, or empty text when the identifier is missing.
    QString String(int id) const;
    bool HasString(int id) const { return m_strings.contains(id); }
    // Icon by identifier; a null icon when missing.
    QIcon Icon(int id) const;
    // Builds the widgets of dialog template id as children of parent. loader, when given,
    // creates the template's custom control classes (a QUiLoader subclass overriding
    // createWidget); otherwise a plain QUiLoader is used. Returns the template's top widget,
    // owned by parent, or null when the template is missing or invalid.
    QWidget* LoadDialogTemplate(int id, QWidget* parent, QUiLoader* loader = nullptr) const;

    // Parses a string table text (format above). Exposed for tests and tools.
    static QHash<int, QString> ParseStringTable(const QByteArray& utf8);

  private:
    QString m_strFile;
    QHash<int, QString> m_strings;
    int m_nReleases = 0;
};

}  // namespace common
