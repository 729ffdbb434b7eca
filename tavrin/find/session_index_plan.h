// The plan of an index build (session_index.h): which sessions there are, in which order
// (rank 0 = newest), and which scan files and scan-table rows belong to each. A package can
// list hundreds of thousands of sessions, so the plan lives in temporary tables of the index
// database's connection, which SQLite keeps on disk beyond a small cache, not in the
// process's memory: the build's memory stays the same whatever the package's size.
//
// Package data reaches these tables only as bound values. Used by the build's thread only,
// inside the build's open transaction; the tables go with the connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "tavrin/find/sqlite_handles.h"

namespace session_index {

// What a session is to the plan.
enum class PlanKind { kCharacter = 0, kGraphic = 1, kOrphan = 2 };

// A session listed in one of the views, as read from Parent.db (texts UTF-8, name and record
// the package's bytes).
struct ListedSession {
    PlanKind kind = PlanKind::kCharacter;
    std::string strView, strName, strStart, strLogin, strRemote;
    std::int64_t nRow = 0;
    std::string strRecordPath;  // character sessions: the text record beneath the work folder
};

// A listed session in rank order, as the build reads it back.
struct RankedSession {
    std::int64_t nRank = 0;
    PlanKind kind = PlanKind::kCharacter;
    std::string strName, strRecordPath;
};

// A row of a scan table to index under a session, with its text (the row's text columns
// decoded, joined by tabs): kept in the plan, so that the rows are read from the package once,
// in table order, and come back sorted by session instead of looked up one by one.
struct PlannedScanRow {
    std::int64_t nRank = 0;
    int nTable = 0;
    std::int64_t nRowid = 0;
    std::string strText;
};

class CIndexPlan {
  public:
    // Makes the plan's tables on db, the index's connection. False on a database error.
    bool Create(sqlite3* db);

    // Adds a listed session, in list order (views in their order, rows in table order).
    bool AddListed(const ListedSession& session);
    // Ranks the listed sessions newest first (by start time as text, list order among equal
    // times) and writes them into the index's sessions table. count: how many there are.
    bool RankListed(std::int64_t& count);

    // Adds a file utm2dba names for a recording, in table order; then IndexDbaNames once.
    bool AddDbaName(const std::string& recording, const std::string& file);
    bool IndexDbaNames();
    // The files utm2dba names for recording, in table order.
    bool DbaNames(const std::string& recording, std::vector<std::string>& files);

    // The rank of the session of kind kGraphic or kCharacter named name; a name no view lists
    // becomes a session of no view (kOrphan), ranked after every other and written into the
    // sessions table once. -1 on a database error.
    std::int64_t RankOf(PlanKind kind, const std::string& name);
    std::int64_t Sessions() const { return m_nSessions; }

    // Adds a scan-table row to index under a session.
    bool AddScanRow(const PlannedScanRow& row);
    std::uint64_t ScanRows() const { return m_nScanRows; }

    // Reading back in rank order: listed sessions, and scan rows by (rank, table, row order).
    // Each gives false at the end or on an error (Failed() tells which).
    bool StartReading();
    bool NextListed(RankedSession& session);
    bool NextScanRow(PlannedScanRow& row);
    bool Failed() const { return m_bFailed; }
    // Ends the reading, so that no statement of the plan stays open when the build ends.
    void EndReading();

  private:
    bool Exec(const char* sql);
    bool Step(sqlite3_stmt* st);

    sqlite3* m_db = nullptr;
    Statement m_addListed, m_addDba, m_readDba, m_rankOf, m_addOrphan, m_addSession, m_addScan;
    Statement m_listed, m_scan;
    std::int64_t m_nSessions = 0;
    std::uint64_t m_nScanRows = 0;
    bool m_bFailed = false;
};

}  // namespace session_index
