// The layout of a package's index database, shared by the build and the search. Internal to
// the build (session_index.cpp, session_index_writer.cpp) and session_search.cpp.
#pragma once

namespace session_index {

// How a source is named in the sources table.
inline constexpr int kSourceFile = 0;   // name: path beneath the work folder (package bytes)
inline constexpr int kSourceTable = 1;  // name: table of Parent.db or child.db

// build_state: one row saying how far the build is. sources: the files and tables read, a
// file with its size when it was indexed (-1 for a table). sessions: one row per session, its
// rank (0 = newest) as key. blocks: consecutive lines or rows of one source and the rank of their
// session, numbered from 1 in the order of the ranks (newest session first). entries: the
// n-gram index (session_tokenizer.h) of consecutive blocks taken together, up to about 16
// kilobytes of text and across sessions, without the texts (contentless): its rowid is the id
// of its first block, and each block names its entry in `entry`, so the blocks of a matching
// entry are read from that id on while they name it. Sessions hold little text each, and a
// trigram repeats across neighbouring sessions: an entry of several sessions stores it once
// (fewer postings to build and keep). The index's own rowid order is so the search's, with
// small differences between neighbours (which the index stores).
// texts: the bytes of each entry's blocks, joined by LF, packed (block_codec.h; `length`
// bytes unpacked); a block's own are its `length` bytes from `start` on. A search checks a
// candidate entry against them, and reads a block's rows only when they may hold the query.
//   - A file block is consecutive lines of a file: its bytes as the file held them when it
//     was indexed, its lines split at LF with one trailing CR dropped each, the first being
//     line `first` of the file (from 1) and shown at line `viewer` of the scan viewer (from 0;
//     -1 when the viewer does not show it). A piece of a line too long to keep whole
//     (`piece` = 1) is one line as it is; the pieces of a line follow each other, each after
//     the first beginning with the end of the one before. A search takes them from the index, not
//     from the package's files, while the file still has the `size` its source recorded.
//   - A table block holds rows of one table, each row's text columns joined by tabs, joined by
//     LF; `rows` lists each row as "rowid:bytes" separated by commas.
inline constexpr int kSchemaVersion = 4;
inline constexpr char kCreateSchema[] = R"(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = OFF;
PRAGMA user_version = 4;
CREATE TABLE build_state (id INTEGER PRIMARY KEY CHECK (id = 1), status TEXT NOT NULL,
    done INTEGER NOT NULL, total INTEGER NOT NULL, message TEXT NOT NULL);
INSERT INTO build_state VALUES (1, 'building', 0, 0, '');
CREATE TABLE sessions (rank INTEGER PRIMARY KEY, view TEXT NOT NULL, name BLOB NOT NULL,
    start_time TEXT NOT NULL, login_name TEXT NOT NULL, remote_name TEXT NOT NULL,
    row INTEGER NOT NULL);
CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name BLOB NOT NULL,
    size INTEGER NOT NULL);
CREATE TABLE blocks (id INTEGER PRIMARY KEY, entry INTEGER NOT NULL, rank INTEGER NOT NULL,
    source INTEGER NOT NULL,
    first INTEGER NOT NULL, viewer INTEGER NOT NULL, start INTEGER NOT NULL,
    length INTEGER NOT NULL, piece INTEGER NOT NULL, rows TEXT);
CREATE TABLE texts (entry INTEGER PRIMARY KEY, length INTEGER NOT NULL, data BLOB NOT NULL);
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
    "INSERT INTO blocks (id, rank, source, first, viewer, start, length, piece, rows, entry) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kInsertText[] = "INSERT INTO texts (entry, length, data) VALUES (?, ?, ?)";
inline constexpr char kInsertSource[] = "INSERT INTO sources (kind, name, size) VALUES (?, ?, ?)";
inline constexpr char kSetState[] =
    "UPDATE build_state SET status = ?, done = ?, total = ?, message = ? WHERE id = 1";
inline constexpr char kReadState[] = "SELECT status, done, total, message FROM build_state";
inline constexpr char kMatchEntries[] =
    "SELECT rowid FROM entries WHERE entries MATCH ? ORDER BY rowid";
// The blocks of entry ?1 are those from id ?1 on that name it.
inline constexpr char kReadEntryBlocks[] =
    "SELECT rank, source, first, viewer, start, length, piece, rows, entry FROM blocks "
    "WHERE id >= ?1 ORDER BY id";
inline constexpr char kReadText[] = "SELECT length, data FROM texts WHERE entry = ?";

}  // namespace session_index
