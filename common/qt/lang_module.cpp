#include "common/qt/lang_module.h"

#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QUiLoader>
#include <QWidget>

namespace common {

CLangModule::~CLangModule() {
    Release();
}

bool CLangModule::Load(const QString& filePath) {
    Release();
    if (!QFileInfo(filePath).isFile()) return false;
    if (!QResource::registerResource(filePath)) return false;
    m_strFile = filePath;
    QFile table(QStringLiteral(":/lang/strings.txt"));
    if (table.open(QIODevice::ReadOnly)) m_strings = ParseStringTable(table.readAll());
    return true;
}

void CLangModule::Release() {
    if (m_strFile.isEmpty()) return;
    QResource::unregisterResource(m_strFile);
    m_strFile.clear();
    m_strings.clear();
    ++m_nReleases;
}

QString CLangModule::String(int id) const {
    return m_strings.value(id);
}

QIcon CLangModule::Icon(int id) const {
    QString path = QStringLiteral(":/lang/icon%1.png").arg(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QWidget* CLangModule::LoadDialogTemplate(int id, QWidget* parent, QUiLoader* loader) const {
    QFile form(QStringLiteral(":/lang/dialog%1.ui").arg(id));
    if (!form.open(QIODevice::ReadOnly)) return nullptr;
    if (loader) return loader->load(&form, parent);
    QUiLoader plain;
    return plain.load(&form, parent);
}

QHash<int, QString> CLangModule::ParseStringTable(const QByteArray& utf8) {
    QHash<int, QString> table;
    const QString text = QString::fromUtf8(utf8);
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        QString line = rawLine;
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        int tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0) continue;
        bool ok = false;
        int id = line.left(tab).trimmed().toInt(&ok);
        if (!ok) continue;
        QString value;
        const QString raw = line.mid(tab + 1);
        for (int i = 0; i < raw.size(); ++i) {
            QChar c = raw[i];
            if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
                QChar n = raw[++i];
                value += n == QLatin1Char('n')   ? QChar('\n')
                         : n == QLatin1Char('t') ? QChar('\t')
                                                 : n;
            } else {
                value += c;
            }
        }
        table.insert(id, value);
    }
    return table;
}

}  // namespace common
