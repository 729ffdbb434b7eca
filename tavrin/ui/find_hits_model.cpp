#include "tavrin/ui/find_hits_model.h"

#include <QPoint>

#include "platform/codepage.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

// The audit selector's names of the four session tables; text of no listed session has none.
QString ViewName(const std::string& table) {
    if (table == "unix_xapp_log") return ResString(155);
    if (table == "unix_vsms_log") return ResString(156);
    if (table == "unix_sms_log") return ResString(157);
    if (table == "unix_xfer_log") return ResString(158);
    return QString();
}

// A file's name or a table's, from the package's bytes.
QString SourceName(const session_index::SessionHit& hit) {
    return QString::fromStdU16String(platform::AnsiToUtf16(hit.strSource));
}

}  // namespace

CFindHitsModel::CFindHitsModel(QObject* parent) : QAbstractTableModel(parent) {
    m_headers = {ResString(session_index::kStrFindColPackage),
                 ResString(session_index::kStrFindColView),
                 ResString(130),
                 ResString(133),
                 ResString(135),
                 ResString(session_index::kStrFindColSource),
                 ResString(session_index::kStrFindColLine),
                 ResString(152)};
}

void CFindHitsModel::SetHits(std::vector<session_index::SessionHit> hits) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(hits.size());
    for (session_index::SessionHit& hit : hits) {
        const session_index::SHitExcerpt excerpt = session_index::ExcerptAroundMatch(hit);
        Row row;
        row.strText = QString::fromUtf8(excerpt.strText);
        row.nMarkStart = static_cast<int>(
            QString::fromUtf8(excerpt.strText.data(), static_cast<qsizetype>(excerpt.nMarkOffset))
                .size());
        row.nMarkLength =
            static_cast<int>(QString::fromUtf8(excerpt.strText.data() + excerpt.nMarkOffset,
                                               static_cast<qsizetype>(excerpt.nMarkLength))
                                 .size());
        row.hit = std::move(hit);
        m_rows.push_back(std::move(row));
    }
    endResetModel();
}

const session_index::SessionHit* CFindHitsModel::Hit(int nRow) const {
    return nRow >= 0 && static_cast<size_t>(nRow) < m_rows.size() ? &m_rows[nRow].hit : nullptr;
}

int CFindHitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CFindHitsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CFindHitsModel::data(const QModelIndex& index, int role) const {
    const session_index::SessionHit* hit = Hit(index.row());
    if (!hit) return {};
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    if (role == kMarkRole)
        return index.column() == kText ? QVariant(QPoint(row.nMarkStart, row.nMarkLength))
                                       : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case kPackage:
            return QString::fromStdString(hit->strPackage);
        case kView:
            return ViewName(hit->strView);
        case kStart:
            return QString::fromStdString(hit->strStartTime);
        case kLogin:
            return QString::fromStdString(hit->strLoginName);
        case kRemote:
            return QString::fromStdString(hit->strRemoteName);
        case kSource:
            return SourceName(*hit);
        case kLine:
            return QString::number(hit->nLine);
        case kText:
            return row.strText;
        default:
            return {};
    }
}

QVariant CFindHitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section >= 0 && section < m_headers.size() ? QVariant(m_headers[section]) : QVariant();
}

}  // namespace ui
