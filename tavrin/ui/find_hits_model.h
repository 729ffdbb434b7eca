// CFindHitsModel: the hits of one search as the "Find in sessions" list shows them, one row
// per hit in the search's order (newest session first): package, view, start time, login
// name, remote name, source, line, and the line's text cut around its match
// (tavrin/find/find_list.h). The match's place in the text cell is given by kMarkRole, so a
// delegate can mark it. User-interface thread only.
#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "tavrin/find/find_list.h"
#include "tavrin/find/session_search.h"

namespace ui {

class CFindHitsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum EColumn { kPackage, kView, kStart, kLogin, kRemote, kSource, kLine, kText, kColumns };
    // On the text column: QPoint(first UTF-16 unit of the match, its length in units).
    static constexpr int kMarkRole = Qt::UserRole + 1;

    explicit CFindHitsModel(QObject* parent = nullptr);

    // Replaces the rows by these hits; headers and view names come from the language module.
    void SetHits(std::vector<session_index::SessionHit> hits);
    void Clear() { SetHits({}); }
    const session_index::SessionHit* Hit(int nRow) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    struct Row {
        session_index::SessionHit hit;
        QString strText;  // the excerpt
        int nMarkStart = 0, nMarkLength = 0;
    };
    std::vector<Row> m_rows;
    QStringList m_headers;
};

}  // namespace ui
