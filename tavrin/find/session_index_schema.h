// The layout of a package's index database, shared by the build and the search. Internal to
// session_index.cpp and session_search.cpp.
#pragma once

namespace session_index {

// How a source is named in the sources table.
inline constexpr int kSourceFile = 0;   // name: path beneath the work folder (package bytes)
inline constexpr int kSourceTable = 1;  // name: table of Parent.db or child.db

// build_state: one row saying how far the build is. sessions: one row per session, its rank
// (0 = newest) as key. entries: the n-gram index (session_tokenizer.h) of the texts, without
// the texts (contentless). blocks: what each entry holds, under the same id, and the rank of
// its session. Ids are numbered from 1 in the order of the ranks, so the index's own rowid
// order is newest session first, and consecutive (the index stores their differences).
//   - A file block is consecutive lines of a file: bytes [offset, offset + length) of it, its
//     lines split at LF with one trailing CR dropped each, the first being line `first` of the
//     file (from 1) and shown at line `viewer` of the scan viewer (from 0; -1 when the viewer
//     does not show it). A piece of a line too long to keep whole (`piece` = 1) is one line
//     as it is. The text is read back from the file when a search needs it: the package keeps
//     it, the index does not.
//   - A table block holds rows of one table, each row's text columns joined by tabs, in
//     `text`, joined by LF; `rows` lists each row as "rowid:bytes" separated by commas.
inline constexpr int kSchemaVersion = 2;
inline constexpr char kCreateSchema[] = R"(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = OFF;
PRAGMA user_version = 2;
CREATE TABLE build_state (id INTEGER PRIMARY KEY CHECK (id = 1), status TEXT NOT NULL,
    done INTEGER NOT NULL, total INTEGER NOT NULL, message TEXT NOT NULL);
INSERT INTO build_state VALUES (1, 'building', 0, 0, '');
CREATE TABLE sessions (rank INTEGER PRIMARY KEY, view TEXT NOT NULL, name BLOB NOT NULL,
    start_time TEXT NOT NULL, login_name TEXT NOT NULL, remote_name TEXT NOT NULL,
    row INTEGER NOT NULL);
CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name BLOB NOT NULL);
CREATE TABLE blocks (id INTEGER PRIMARY KEY, rank INTEGER NOT NULL, source INTEGER NOT NULL,
    first INTEGER NOT NULL,
    viewer INTEGER NOT NULL, offset INTEGER NOT NULL, length INTEGER NOT NULL,
    piece INTEGER NOT NULL, rows TEXT, text TEXT);
CREATE VIRTUAL TABLE entries USING fts5(text, content = '', detail = none, columnsize = 0,
    tokenize = 'tavrin_ngram');
)";

// FTS5 keeps this much of the index in memory before it writes a segment (1 MB by default):
// fewer, larger segments are fewer merges to rewrite.
inline constexpr char kTuneIndex[] =
    "INSERT INTO entries (entries, rank) VALUES ('hashsize', 33554432)";

inline constexpr char kInsertEntry[] = "INSERT INTO entries (rowid, text) VALUES (?, ?)";
inline constexpr char kInsertBlock[] =
    "INSERT INTO blocks (id, rank, source, first, viewer, offset, length, piece, rows, text) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kInsertSession[] =
    "INSERT INTO sessions (rank, view, name, start_time, login_name, remote_name, row) "
    "VALUES (?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kInsertSource[] = "INSERT INTO sources (kind, name) VALUES (?, ?)";
inline constexpr char kSetState[] =
    "UPDATE build_state SET status = ?, done = ?, total = ?, message = ? WHERE id = 1";
inline constexpr char kReadState[] = "SELECT status, done, total, message FROM build_state";
inline constexpr char kMatchEntries[] =
    "SELECT rowid FROM entries WHERE entries MATCH ? ORDER BY rowid";
inline constexpr char kReadBlock[] =
    "SELECT rank, source, first, viewer, offset, length, piece, rows, text FROM blocks "
    "WHERE id = ?";

}  // namespace session_index
