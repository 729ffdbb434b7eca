#include "tavrin/find/session_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "common/code_page_chars.h"
#include "common/scan_name.h"
#include "platform/ansi_decoder.h"
#include "platform/bounded_read.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "tavrin/find/appliance_path.h"
#include "tavrin/find/session_index_plan.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/session_index_writer.h"
#include "tavrin/find/sqlite_handles.h"

namespace session_index {

namespace {

using session_index::Connection;
using session_index::Statement;

// Longer lines are indexed in pieces of at most this many bytes, each under the line's number,
// so memory stays bounded whatever a file holds. Each piece after the first begins with about
// the last kPieceOverlap bytes of the one before, so that a text of up to that size across
// the end of a piece lies whole in the next (a search counts the line once).
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kPieceOverlap = 4096;
constexpr std::size_t kReadStep = 1 << 18;

const char kSessionsFolder[] = "var/utm/data/sessions/";

// The start of the character of text (which begins with one) that holds byte at, in the
// package's code page.
std::size_t CharacterStart(std::string_view text, std::size_t at) {
    const common::CharScheme scheme = common::SchemeOfCodePage(platform::AnsiCodePageName());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t length = common::CharLength(scheme, text.substr(pos));
        if (pos + length > at) return pos;
        pos += length;
    }
}

std::string ColumnBytes(sqlite3_stmt* st, int col) {
    if (col >= sqlite3_column_count(st)) return std::string();
    const unsigned char* text = sqlite3_column_text(st, col);
    if (!text) return std::string();
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

int StopHandler(void* arg) {
    return static_cast<SessionIndexControl*>(arg)->bStopRequested.load() ? 1 : 0;
}

// Opens a package database read-only, distrusting its schema, stoppable through control.
bool OpenPackageDb(const std::string& path, SessionIndexControl& control, Connection& conn) {
    if (!platform::PathExists(path)) return false;
    if (sqlite3_open_v2(path.c_str(), &conn.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_progress_handler(conn.p, 1000, StopHandler, &control);
    // One read transaction for the whole build: each statement would otherwise take and drop
    // the file's lock, and the scan rows are read one statement each.
    sqlite3_exec(conn.p, "BEGIN", nullptr, nullptr, nullptr);
    return true;
}

class CIndexBuild {
  public:
    CIndexBuild(const SessionIndexInputs& inputs, SessionIndexControl& control)
        : m_inputs(inputs), m_control(control), m_opener(inputs.strWorkFolder) {}

    SessionIndexOutcome Run();

  private:
    bool Stopped() const { return m_control.bStopRequested.load(); }
    // The plan: the listed sessions ranked, utm2dba's names, the scan rows and the tables of
    // child.db by session, so that every session's texts are written together, newest first.
    bool ReadSessions(sqlite3* parent);
    bool ReadDbaNames(sqlite3* parent);
    bool PlanScanRows(sqlite3* parent);
    bool PlanChildTables(sqlite3* child);
    bool IndexSessionFiles(const session_index::RankedSession& session);
    // Indexes file relPath beneath the work folder; lineCount receives its number of lines.
    bool IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                   std::int64_t& lineCount);
    // Indexes what the plan holds for the session of rank (its scan rows, its terminal table).
    bool IndexSessionRows(std::int64_t rank, std::size_t& nextChildTable, sqlite3* child);
    // Indexes every row the statement st gives (rowid in column 0, then the row's columns) as
    // rows of source in the session of rank.
    bool IndexRows(std::int64_t rank, std::int64_t source, sqlite3_stmt* st);
    std::int64_t SourceOf(int kind, const std::string& name, std::int64_t& cached);
    std::string RowText(sqlite3_stmt* st);
    bool WriteFailed() {
        m_strError = "cannot write the index: " + m_writer.Error();
        return false;
    }
    bool Progress(std::uint64_t units = 1) {
        m_control.nDone.fetch_add(units);
        if (!m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load())) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        return !Stopped();
    }

    // One scan table: its name and, once a row of it is indexed, its source.
    struct ScanTable {
        std::string strName;
        std::int64_t nSource = -1;
    };
    struct ChildTable {
        std::int64_t nRank;
        std::string strName;
    };
    const SessionIndexInputs& m_inputs;
    SessionIndexControl& m_control;
    CIndexWriter m_writer;
    session_index::CIndexPlan m_plan;
    platform::CAnsiDecoder m_decoder;
    platform::CBeneathOpener m_opener;  // the package's files, a few folders kept open
    std::unique_ptr<char[]> m_readBuffer{new char[kReadStep]};
    ScanTable m_scanTables[2];
    // The next scan row of the plan not yet indexed (nRank -1: none left).
    session_index::PlannedScanRow m_nextScanRow;
    std::vector<ChildTable> m_childTables;  // by rank: one per terminal table of child.db
    std::uint64_t m_nLines = 0;
    std::string m_strError;
    std::string m_strLine, m_strDecoded;
    std::vector<std::string> m_dbaFiles;
};

bool CIndexBuild::ReadSessions(sqlite3* parent) {
    using session_index::PlanKind;
    struct View {
        const char* table;
        PlanKind kind;
        int name, start, login, remote, record;
    };
    static const View kViews[] = {
        {"unix_sms_log", PlanKind::kCharacter, 8, 4, 6, 7, 9},
        {"unix_xfer_log", PlanKind::kCharacter, 8, 4, 6, 7, 9},
        {"unix_vsms_log", PlanKind::kGraphic, 8, 3, 5, 7, -1},
        {"unix_xapp_log", PlanKind::kGraphic, 8, 3, 5, 7, -1},
    };
    session_index::ListedSession s;
    for (const View& view : kViews) {
        Statement st;
        if (!st.Prepare(parent, std::string("SELECT rowid, * FROM ") + view.table)) continue;
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            s.kind = view.kind;
            s.strView = view.table;
            s.nRow = sqlite3_column_int64(st.p, 0);
            s.strName = ColumnBytes(st.p, view.name + 1);
            s.strStart = m_decoder.ToUtf8(ColumnBytes(st.p, view.start + 1));
            s.strLogin = m_decoder.ToUtf8(ColumnBytes(st.p, view.login + 1));
            s.strRemote = m_decoder.ToUtf8(ColumnBytes(st.p, view.remote + 1));
            s.strRecordPath.clear();
            if (view.record >= 0) {
                std::string field = ColumnBytes(st.p, view.record + 1);
                if (!field.empty()) {
                    // Beneath the work folder: the mapping's leading '/' is dropped.
                    s.strRecordPath = MapAppliancePath(field);
                    s.strRecordPath.erase(0, s.strRecordPath.find_first_not_of('/'));
                }
            }
            if (!m_plan.AddListed(s)) return WriteFailed();
        }
    }
    return true;
}

bool CIndexBuild::ReadDbaNames(sqlite3* parent) {
    // In table order, as the scan viewer reads them.
    Statement st;
    if (st.Prepare(parent, "SELECT * FROM utm2dba ORDER BY rowid")) {
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            if (sqlite3_column_count(st.p) < 3 || sqlite3_column_type(st.p, 2) == SQLITE_NULL)
                continue;
            if (!m_plan.AddDbaName(ColumnBytes(st.p, 1), ColumnBytes(st.p, 2)))
                return WriteFailed();
        }
    }
    return m_plan.IndexDbaNames() || WriteFailed();
}

bool CIndexBuild::IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                            std::int64_t& lineCount) {
    lineCount = 0;
    platform::CBoundedFile file;
    if (!m_opener.Open(relPath, file)) return true;  // missing: nothing
    // Up to the size it had when opened: no read only to see the end.
    const std::uint64_t size = file.SizeAtOpen();
    std::int64_t source =
        m_writer.AddSource(session_index::kSourceFile, relPath, static_cast<std::int64_t>(size));
    if (source < 0) return WriteFailed();
    CLineBatcher batcher(m_writer, rank);
    batcher.Start(source, viewerFirst);
    char* const buffer = m_readBuffer.get();
    std::string& line = m_strLine;
    line.clear();
    bool pending = false;       // bytes seen since the last line feed
    bool splitLine = false;     // the current line was too long and went out in pieces
    std::uint64_t filePos = 0;  // bytes read so far
    bool ok = true;
    // The line's bytes go out; a piece keeps a CR, the end of a line drops one (and the bytes
    // kept for a last piece are those of its text).
    auto emit = [&](bool piece) {
        std::string_view text = line;
        if (!piece && !text.empty() && text.back() == '\r') text.remove_suffix(1);
        m_strDecoded.clear();
        m_decoder.AppendUtf8(text, m_strDecoded);
        const bool added = piece || splitLine ? batcher.AddPiece(lineCount, m_strDecoded, text)
                                              : batcher.AddLine(lineCount, m_strDecoded, line);
        line.clear();
        return added;
    };
    while (filePos < size) {
        const std::uint64_t want = std::min<std::uint64_t>(kReadStep, size - filePos);
        long long got = file.Read(buffer, static_cast<std::size_t>(want));
        if (got <= 0 || Stopped()) break;
        const char* p = buffer;
        const char* end = p + got;
        while (p < end && ok) {
            if (!pending) {
                ++lineCount;
                pending = true;
                splitLine = false;
            }
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stop = lf ? lf : end;
            line.append(p, stop);
            p = lf ? lf + 1 : end;
            if (lf) {
                ok = emit(false);
                pending = false;
                ++m_nLines;
            } else if (line.size() > kMaxLineBytes) {
                // The next piece takes up the end of this one, from a character's start.
                std::string next = line.substr(CharacterStart(line, kMaxLineBytes - kPieceOverlap));
                line.resize(kMaxLineBytes);
                ok = emit(true);
                splitLine = true;
                line = std::move(next);
            }
        }
        filePos += static_cast<std::uint64_t>(got);
        if (!ok) break;
    }
    if (ok && pending) {
        ok = emit(false);
        ++m_nLines;
    }
    if (ok) ok = batcher.Flush();
    if (!ok) m_strError = "cannot write the index: " + m_writer.Error();
    return ok;
}

bool CIndexBuild::IndexSessionFiles(const session_index::RankedSession& s) {
    if (s.strName.empty() && s.strRecordPath.empty()) return true;
    std::int64_t count = 0;
    if (!s.strRecordPath.empty()) {
        // The text record of a character or transfer session.
        return IndexFile(s.nRank, s.strRecordPath, -1, count);
    }
    if (s.kind != session_index::PlanKind::kGraphic) return true;
    // A graphical session: the files utm2dba names, numbered as the scan viewer shows them,
    // then its own ".scan" file, which the viewer shows only when those give no line.
    std::int64_t viewerLines = 0;
    if (!m_plan.DbaNames(s.strName, m_dbaFiles)) return WriteFailed();
    // A name the viewer does not read is still indexed (beneath the sessions folder, its
    // leading '/' aside), on no page of the viewer.
    for (const std::string& name : m_dbaFiles) {
        const bool shown = common::ScanNameStaysBeneath(name);
        const std::string rel =
            kSessionsFolder + name.substr(std::min(name.find_first_not_of('/'), name.size()));
        if (!IndexFile(s.nRank, rel, shown ? viewerLines : -1, count)) return false;
        if (shown) viewerLines += count;
        if (Stopped()) return true;
    }
    const std::string scan = s.strName + ".scan";
    return IndexFile(s.nRank, kSessionsFolder + scan,
                     viewerLines == 0 && common::ScanNameStaysBeneath(scan) ? 0 : -1, count);
}

std::int64_t CIndexBuild::SourceOf(int kind, const std::string& name, std::int64_t& cached) {
    if (cached < 0) cached = m_writer.AddSource(kind, name, -1);
    return cached;
}

std::string CIndexBuild::RowText(sqlite3_stmt* st) {
    std::string text;
    bool first = true;
    const int columns = sqlite3_column_count(st);
    for (int col = 1; col < columns; ++col) {
        if (sqlite3_column_type(st, col) != SQLITE_TEXT) continue;
        if (!first) text += '\t';
        first = false;
        m_decoder.AppendUtf8(ColumnBytes(st, col), text);
    }
    return text;
}

bool CIndexBuild::IndexRows(std::int64_t rank, std::int64_t source, sqlite3_stmt* st) {
    CRowBatcher batcher(m_writer, rank, source);
    std::int64_t ordinal = 0;
    while (!Stopped() && sqlite3_step(st) == SQLITE_ROW) {
        ++ordinal;
        const std::int64_t row =
            sqlite3_column_type(st, 0) == SQLITE_NULL ? ordinal : sqlite3_column_int64(st, 0);
        const std::string text = RowText(st);
        ++m_nLines;
        if (!text.empty() && !batcher.Add(row, text)) return WriteFailed();
        if ((ordinal & 1023) == 0 &&
            !m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load()))
            return WriteFailed();
    }
    return batcher.Flush() || WriteFailed();
}

bool CIndexBuild::PlanScanRows(sqlite3* parent) {
    const char* names[] = {"utm_dba_scan", "utm_xapp_scan"};
    for (int t = 0; t < 2; ++t) {
        ScanTable& table = m_scanTables[t];
        table.strName = names[t];
        // The session name is the row's second column.
        Statement st;
        if (!st.Prepare(parent, "SELECT rowid, * FROM " + QuoteIdentifier(table.strName))) continue;
        session_index::PlannedScanRow row;
        row.nTable = t;
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            row.nRank = m_plan.RankOf(session_index::PlanKind::kGraphic, ColumnBytes(st.p, 2));
            row.nRowid = sqlite3_column_int64(st.p, 0);
            row.strText = RowText(st.p);
            if (row.nRank < 0 || !m_plan.AddScanRow(row)) return WriteFailed();
        }
    }
    return true;
}

bool CIndexBuild::PlanChildTables(sqlite3* child) {
    Statement st;
    if (!st.Prepare(child,
                    "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                    "name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid"))
        return true;
    while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
        std::string name = ColumnBytes(st.p, 0);
        const std::int64_t rank = m_plan.RankOf(session_index::PlanKind::kCharacter, name);
        if (rank < 0) return WriteFailed();
        m_childTables.push_back(ChildTable{rank, std::move(name)});
    }
    std::stable_sort(m_childTables.begin(), m_childTables.end(),
                     [](const ChildTable& a, const ChildTable& b) { return a.nRank < b.nRank; });
    return true;
}

bool CIndexBuild::IndexSessionRows(std::int64_t rank, std::size_t& nextChildTable, sqlite3* child) {
    while (m_nextScanRow.nRank == rank) {
        // The session's rows of one scan table together.
        const int t = m_nextScanRow.nTable;
        ScanTable& table = m_scanTables[t];
        const std::int64_t source =
            SourceOf(session_index::kSourceTable, table.strName, table.nSource);
        if (source < 0) return WriteFailed();
        CRowBatcher batcher(m_writer, rank, source);
        for (; m_nextScanRow.nRank == rank && m_nextScanRow.nTable == t;) {
            ++m_nLines;
            if (!m_nextScanRow.strText.empty() &&
                !batcher.Add(m_nextScanRow.nRowid, m_nextScanRow.strText))
                return WriteFailed();
            if (!m_plan.NextScanRow(m_nextScanRow)) {
                if (m_plan.Failed()) return WriteFailed();
                m_nextScanRow.nRank = -1;
            }
            if (!Progress()) return batcher.Flush() ? m_strError.empty() : WriteFailed();
        }
        if (!batcher.Flush()) return WriteFailed();
    }
    for (; nextChildTable < m_childTables.size() && m_childTables[nextChildTable].nRank == rank;
         ++nextChildTable) {
        const std::string& table = m_childTables[nextChildTable].strName;
        std::int64_t cached = -1;
        const std::int64_t source = SourceOf(session_index::kSourceTable, table, cached);
        if (source < 0) return WriteFailed();
        // Without the size records that the terminal player reads (flag == 1000).
        std::string from = " FROM " + QuoteIdentifier(table);
        Statement probe;
        if (probe.Prepare(child, "SELECT flag" + from + " LIMIT 0"))
            from += " WHERE NOT coalesce(flag == 1000, 0)";
        Statement st;
        if (st.Prepare(child, "SELECT rowid, *" + from) ||
            st.Prepare(child, "SELECT NULL, *" + from)) {
            if (!IndexRows(rank, source, st.p)) return false;
        }
        if (!Progress()) return m_strError.empty();
    }
    return true;
}

SessionIndexOutcome CIndexBuild::Run() {
    SessionIndexOutcome outcome;
    if (!m_writer.Open(m_inputs.strIndexDb, outcome.strError)) return outcome;
    Connection parent, child;
    bool hasParent = OpenPackageDb(m_inputs.strParentDb, m_control, parent);
    bool hasChild = OpenPackageDb(m_inputs.strChildDb, m_control, child);

    std::int64_t listed = 0;
    bool ok = m_plan.Create(m_writer.Db()) || WriteFailed();
    if (ok && hasParent) ok = ReadSessions(parent.p) && ReadDbaNames(parent.p);
    if (ok) ok = m_plan.RankListed(listed) || WriteFailed();
    // Sessions of no view are added (ranked after the listed ones) as the plan meets them.
    if (ok && hasParent) ok = PlanScanRows(parent.p);
    if (ok && hasChild) ok = PlanChildTables(child.p);
    m_control.nTotal =
        static_cast<std::uint64_t>(listed) + m_plan.ScanRows() + m_childTables.size();
    if (ok && !m_writer.CommitNow(0, m_control.nTotal.load())) ok = WriteFailed();
    if (ok) ok = m_plan.StartReading() || WriteFailed();
    m_nextScanRow.nRank = -1;
    if (ok && !m_plan.NextScanRow(m_nextScanRow) && m_plan.Failed()) ok = WriteFailed();

    std::size_t nextChildTable = 0;
    session_index::RankedSession session;
    for (std::int64_t rank = 0; ok && !Stopped() && rank < m_plan.Sessions(); ++rank) {
        if (rank < listed) {
            ok = m_plan.NextListed(session) && session.nRank == rank ? IndexSessionFiles(session)
                                                                     : WriteFailed();
            ok = ok && Progress();
        }
        if (ok && !Stopped()) ok = IndexSessionRows(rank, nextChildTable, child.p);
    }
    m_plan.EndReading();
    outcome.nEntries = m_writer.Entries();
    outcome.nLines = m_nLines;
    if (!m_strError.empty()) {
        outcome.status = IndexStatus::kFailed;
        outcome.strError = m_strError;
    } else if (Stopped()) {
        outcome.status = IndexStatus::kStopped;
    } else {
        outcome.status = IndexStatus::kBuilt;
        m_control.nDone = m_control.nTotal.load();
    }
    if (!m_writer.Finish(outcome.status, m_control.nDone.load(), m_control.nTotal.load(),
                         outcome.strError) &&
        outcome.status != IndexStatus::kFailed) {
        outcome.status = IndexStatus::kFailed;
        outcome.strError = "cannot write the index: " + m_writer.Error();
    }
    return outcome;
}

}  // namespace

std::string IndexPathForWorkFolder(const std::string& workFolder) {
    std::string folder = workFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    return folder + "/" + name + "index.db";
}

SessionIndexInputs IndexInputsForWorkFolder(const std::string& workFolder) {
    std::string folder = workFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    SessionIndexInputs inputs;
    inputs.strWorkFolder = folder;
    inputs.strParentDb = folder + "/" + name + "Parent.db";
    inputs.strChildDb = folder + "/" + name + "child.db";
    inputs.strIndexDb = folder + "/" + name + "index.db";
    return inputs;
}

SessionIndexOutcome BuildSessionIndex(const SessionIndexInputs& inputs,
                                      SessionIndexControl& control) {
    control.nDone = 0;
    control.nTotal = 0;
    CIndexBuild build(inputs, control);
    return build.Run();
}

}  // namespace session_index
