// Dropping package files onto the main dialog: local .tar files are imported in turn, as if
// each had been chosen in the Open dialog. Anything else is refused at the drag already, and
// nothing is accepted while the Open command is unavailable (an import is running).
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "tavrin/ui/dialog_aids.h"

namespace ui {

QStringList CAuditorExtras::DroppedPackages(const QMimeData* mime) const {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (path.endsWith(QLatin1String(".tar"), Qt::CaseInsensitive) && QFileInfo(path).isFile())
            paths << QFileInfo(path).absoluteFilePath();
    }
    return paths;
}

bool CAuditorExtras::HandleDrag(QEvent* e) {
    auto* drop = static_cast<QDropEvent*>(e);  // DragEnter and DragMove derive from it
    const bool bAvailable = m_btnOpen.isEnabled() && !m_bImportingInTurn;
    const QStringList paths = bAvailable ? DroppedPackages(drop->mimeData()) : QStringList();
    if (paths.isEmpty()) {
        // Not ours: a text field may still take dropped text as it always did.
        return false;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (e->type() == QEvent::Drop) {
        // The import runs once the drop has returned, so the program dragged from is not held
        // up while the package unpacks.
        QTimer::singleShot(0, this, [this, paths] { ImportInTurn(paths); });
    }
    return true;
}

}  // namespace ui
