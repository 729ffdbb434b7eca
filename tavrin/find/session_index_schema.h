// The layout of a package's index database, shared by the build and the search. Internal to
// session_index.cpp and session_search.cpp.
#pragma once

namespace session_index {

// How a source is named in the sources table.
inline constexpr int kSourceFile = 0;   // name: path beneath the work folder (package bytes)
inline constexpr int kSourceTable = 1;  // name: table of Parent.db or child.db

// build_state: one row saying how far the build is. sessions: one row per session, its rank
// (0 = newest) as key. entries: the texts; an entry's rowid is rank << 32 plus a counter, so
// the index's own rowid order is newest session first. A file entry holds consecutive lines
// joined by "\n", the first being line `first` of the file (from 1) and shown at line
// `viewer` of the scan viewer (from 0; -1 when the viewer does not show it); a table entry
// holds one row's text columns joined by tabs, `first` being the row's rowid.
inline constexpr char kCreateSchema[] = R"(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = OFF;
PRAGMA user_version = 1;
CREATE TABLE build_state (id INTEGER PRIMARY KEY CHECK (id = 1), status TEXT NOT NULL,
    done INTEGER NOT NULL, total INTEGER NOT NULL, message TEXT NOT NULL);
INSERT INTO build_state VALUES (1, 'building', 0, 0, '');
CREATE TABLE sessions (rank INTEGER PRIMARY KEY, view TEXT NOT NULL, name BLOB NOT NULL,
    start_time TEXT NOT NULL, login_name TEXT NOT NULL, remote_name TEXT NOT NULL,
    row INTEGER NOT NULL);
CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name BLOB NOT NULL);
CREATE VIRTUAL TABLE entries USING fts5(text, source UNINDEXED, first UNINDEXED,
    viewer UNINDEXED, tokenize = 'trigram case_sensitive 0', detail = none, columnsize = 0);
)";

inline constexpr char kInsertEntry[] =
    "INSERT INTO entries (rowid, text, source, first, viewer) VALUES (?, ?, ?, ?, ?)";
inline constexpr char kInsertSession[] =
    "INSERT INTO sessions (rank, view, name, start_time, login_name, remote_name, row) "
    "VALUES (?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kInsertSource[] = "INSERT INTO sources (kind, name) VALUES (?, ?)";
inline constexpr char kSetState[] =
    "UPDATE build_state SET status = ?, done = ?, total = ?, message = ? WHERE id = 1";
inline constexpr char kReadState[] = "SELECT status, done, total, message FROM build_state";

}  // namespace session_index
