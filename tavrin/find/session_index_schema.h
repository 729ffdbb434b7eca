// The layout of a package's index database, shared by the build and the search. Internal to
// session_index.cpp and session_search.cpp.
#pragma once

namespace session_index {

// How a source is named in the sources table.
inline constexpr int kSourceFile = 0;   // name: path beneath the work folder (package bytes)
inline constexpr int kSourceTable = 1;  // name: table of Parent.db or child.db

// build_state: one row saying how far the build is. sessions: one row per session, its rank
// (0 = newest) as key. blocks: consecutive lines or rows of one source and the rank of their
// session, numbered from 1 in the order of the ranks (newest session first). entries: the
// n-gram index (session_tokenizer.h) of consecutive blocks taken together, up to a few
// kilobytes of text and across sessions, without the texts (contentless): its rowid is the id
// of its first block, and each block names its entry in `entry`, so the blocks of a matching
// entry are read from that id on while they name it. Sessions hold little text each, and a
// trigram repeats across neighbouring sessions: an entry of several sessions stores it once
// (fewer postings to build and keep). The index's own rowid order is so the search's, with
// small differences between neighbours (which the index stores).
//   - A file block is consecutive lines of a file: bytes [offset, offset + length) of it, its
//     lines split at LF with one trailing CR dropped each, the first being line `first` of the
//     file (from 1) and shown at line `viewer` of the scan viewer (from 0; -1 when the viewer
//     does not show it). A piece of a line too long to keep whole (`piece` = 1) is one line
//     as it is. The text is read back from the file when a search needs it: the package keeps
//     it, the index does not.
//   - A table block holds rows of one table, each row's text columns joined by tabs, in
//     `text`, joined by LF; `rows` lists each row as "rowid:bytes" separated by commas.
inline constexpr int kSchemaVersion = 3;
inline constexpr char kCreateSchema[] = R"(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = OFF;
PRAGMA user_version = 3;
CREATE TABLE build_state (id INTEGER PRIMARY KEY CHECK (id = 1), status TEXT NOT NULL,
    done INTEGER NOT NULL, total INTEGER NOT NULL, message TEXT NOT NULL);
INSERT INTO build_state VALUES (1, 'building', 0, 0, '');
CREATE TABLE sessions (rank INTEGER PRIMARY KEY, view TEXT NOT NULL, name BLOB NOT NULL,
    start_time TEXT NOT NULL, login_name TEXT NOT NULL, remote_name TEXT NOT NULL,
    row INTEGER NOT NULL);
CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name BLOB NOT NULL);
CREATE TABLE blocks (id INTEGER PRIMARY KEY, entry INTEGER NOT NULL, rank INTEGER NOT NULL,
    source INTEGER NOT NULL,
    first INTEGER NOT NULL,
    viewer INTEGER NOT NULL, offset INTEGER NOT NULL, length INTEGER NOT NULL,
    piece INTEGER NOT NULL, rows TEXT, text TEXT);
CREATE VIRTUAL TABLE entries USING fts5(text, content = '', detail = none, columnsize = 0,
    tokenize = 'tavrin_ngram');
)";

// FTS5 keeps at most this much of the index in memory before it writes a segment (1 MB by
// default): fewer, larger segments are fewer merges to rewrite. The build commits every second
// or two, which writes a segment too, so the bound is reached only on a fast machine; it keeps
// the build's memory (about twice this at most) well within the import's.
inline constexpr char kTuneIndex[] =
    "INSERT INTO entries (entries, rank) VALUES ('hashsize', 16777216)";

inline constexpr char kInsertEntry[] = "INSERT INTO entries (rowid, text) VALUES (?, ?)";
inline constexpr char kInsertBlock[] =
    "INSERT INTO blocks (id, rank, source, first, viewer, offset, length, piece, rows, text, "
    "entry) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kInsertSource[] = "INSERT INTO sources (kind, name) VALUES (?, ?)";
inline constexpr char kSetState[] =
    "UPDATE build_state SET status = ?, done = ?, total = ?, message = ? WHERE id = 1";
inline constexpr char kReadState[] = "SELECT status, done, total, message FROM build_state";
inline constexpr char kMatchEntries[] =
    "SELECT rowid FROM entries WHERE entries MATCH ? ORDER BY rowid";
// The blocks of entry ?1 are those from id ?1 on that name it; each with its source's name.
inline constexpr char kReadEntryBlocks[] =
    "SELECT b.rank, b.source, b.first, b.viewer, b.offset, b.length, b.piece, b.rows, b.text, "
    "b.entry, s.name FROM blocks AS b LEFT JOIN sources AS s ON s.id = b.source "
    "WHERE b.id >= ?1 ORDER BY b.id";

}  // namespace session_index
