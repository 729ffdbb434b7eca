// Keys of the main dialog: paging, Enter in the page field and on a row of the list, Ctrl+F,
// Ctrl+Shift+F and F5; every other Enter and Escape is swallowed. Each key does what its button
// does and only when that button is enabled, so a key never runs a command the window does not
// offer at that moment.
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "common/qt/window_keys.h"
#include "tavrin/ui/find_sessions_dlg.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace {

// Widgets that give Page Up / Page Down (and Home / End) a meaning of their own keep them:
// a drop list would change the audit type, a date picker its date.
bool KeepsPageKeys(const QWidget* widget) {
    return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

// Text fields also keep Home and End, which move the cursor.
bool KeepsLineKeys(const QWidget* widget) {
    return KeepsPageKeys(widget) || qobject_cast<const QLineEdit*>(widget);
}

}  // namespace

bool CTavrinDlg::HandleKey(QWidget* widget, const QKeyEvent& key) {
    if (m_pFindWindow && common::IsKey(key, Qt::CTRL | Qt::SHIFT | Qt::Key_F)) {
        m_pFindWindow->Activate();
        return true;
    }
    if (key.matches(QKeySequence::Find)) {
        m_editLoginName->setFocus(Qt::ShortcutFocusReason);
        m_editLoginName->selectAll();
        return true;
    }
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;

    switch (key.key()) {
        case Qt::Key_F5:
            if (m_btnSearch->isEnabled()) OnSearch();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            if (widget == m_editPage) {
                if (m_btnGoto->isEnabled()) OnGotoPage();
                return true;
            }
            CListCtrlEx* list = m_list;
            if ((widget != list && !list->isAncestorOf(widget))) return false;
            const int nRow = list->currentIndex().row();
            if (nRow >= 0 && list->selectionModel()->isRowSelected(nRow, QModelIndex()))
                list->OnDblClick(nRow, ui::CSessionTableModel::kFirstActionColumn);
            return true;
        }
        case Qt::Key_PageUp:
            if (KeepsPageKeys(widget)) return false;
            if (m_btnPrev->isEnabled()) OnPrevPage();
            return true;
        case Qt::Key_PageDown:
            if (KeepsPageKeys(widget)) return false;
            if (m_btnNext->isEnabled()) OnNextPage();
            return true;
        case Qt::Key_Home:
            if (KeepsLineKeys(widget)) return false;
            if (m_pParentDb && m_btnFirst->isEnabled()) OnFirstPage();
            return true;
        case Qt::Key_End: {
            if (KeepsLineKeys(widget)) return false;
            // The last page, as go to page does with the page count typed in the page field.
            const browser::PageState& page = m_browser.Screen().page;
            if (m_pParentDb && m_btnGoto->isEnabled() && page.nCurPage != page.nPageCount) {
                m_editPage->setText(QString::number(page.nPageCount));
                OnGotoPage();
            }
            return true;
        }
        default:
            return false;
    }
}
