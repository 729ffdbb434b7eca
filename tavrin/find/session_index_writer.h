// Writing a package's index database (session_index_schema.h): its sources, the blocks of
// lines or rows with the entries that index them and their packed bytes, and how far the build
// is. Every value goes in bound. Internal to the build (session_index.cpp), and used by the
// build's thread only.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tavrin/find/block_codec.h"
#include "tavrin/find/index_status.h"
#include "tavrin/find/sqlite_handles.h"

namespace session_index {

// A block gathers consecutive lines (or rows) of one source up to about kBlockBytes, and an
// entry of the index consecutive blocks up to about kEntryBytes, so the index stores each
// n-gram once per entry instead of once per line (smaller and faster to build); searches unpack
// an entry's blocks and split them into lines. Larger entries make a smaller index, faster to
// build, but more text to unpack for each candidate a search checks (on the benchmark's
// package, 16 KB against 4 KB: a sixth less build time, a rare word's first page 12 -> 23 ms).
inline constexpr std::size_t kBlockBytes = 4096;
inline constexpr std::size_t kEntryBytes = 16384;
// Progress reaches the file (and other readers) at least this often.
inline constexpr auto kCommitEvery = std::chrono::milliseconds(1500);

// The index database being built: one transaction open at a time, committed as the build goes
// (so that searches see what is written, and how far the build is). A false return means a
// database error, which Error() describes; the build then stops.
class CIndexWriter {
  public:
    CIndexWriter() = default;
    CIndexWriter(const CIndexWriter&) = delete;
    CIndexWriter& operator=(const CIndexWriter&) = delete;
    ~CIndexWriter();

    // Creates the database at path with the schema (an older file and its journals are removed
    // first) and begins the first transaction. False, with error saying why, when it cannot.
    bool Open(const std::string& path, std::string& error);
    std::string Error() const;

    // The id of a new source (a file beneath the work folder and its size, or a table and -1);
    // -1 on an error.
    std::int64_t AddSource(int kind, const std::string& name, std::int64_t size);
    // A block of file lines: decoded (indexed) and the file's bytes (kept, packed).
    bool AddFileBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                      std::int64_t source, std::int64_t first, std::int64_t viewer, bool piece);
    // A block of table rows, whose text is also what the index keeps (rows:
    // "rowid:bytes,...").
    bool AddTableBlock(std::int64_t rank, const std::string& text, std::int64_t source,
                       std::int64_t first, const std::string& rows);

    // Commits what was written with the progress so far; MaybeCommit only when kCommitEvery
    // has passed since the last commit.
    bool CommitNow(std::uint64_t done, std::uint64_t total);
    bool MaybeCommit(std::uint64_t done, std::uint64_t total);
    // Ends the build with its final state, committed. A build that did not complete keeps what
    // its commits wrote and drops the rest.
    bool Finish(IndexStatus status, std::uint64_t done, std::uint64_t total,
                const std::string& message);

    std::uint64_t Entries() const { return m_nEntries; }
    // The connection, for the plan's temporary tables (session_index_plan.h).
    sqlite3* Db() const { return m_db; }

  private:
    bool Exec(const char* sql);
    bool SetState(IndexStatus status, std::uint64_t done, std::uint64_t total,
                  const std::string& message);
    bool AddBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                  std::int64_t source, std::int64_t first, std::int64_t viewer, bool piece,
                  const std::string* rows);
    bool JoinEntry(std::int64_t id, const std::string& text, std::string_view bytes);
    bool FlushEntry();
    bool Step(sqlite3_stmt* st);

    sqlite3* m_db = nullptr;
    Statement m_insEntry, m_insText, m_insBlock, m_insSource, m_setState;
    std::uint64_t m_nEntries = 0;
    std::int64_t m_nLastId = 0;   // blocks are written in rank order, ids from 1
    std::int64_t m_nEntryId = 0;  // the entry being gathered (its first block), or 0
    std::string m_strEntry;       // its text
    std::string m_strEntryBytes;  // its bytes
    CBlockPacker m_packer;
    std::string m_strPacked;  // the entry's bytes being written, packed
    std::chrono::steady_clock::time_point m_lastCommit = std::chrono::steady_clock::now();
};

// Gathers the lines of one file into blocks of a session's texts.
class CLineBatcher {
  public:
    CLineBatcher(CIndexWriter& writer, std::int64_t rank) : m_writer(writer), m_nRank(rank) {}

    // Begins the lines of source, whose first line the scan viewer shows at viewerFirst (-1:
    // the viewer does not show them).
    void Start(std::int64_t source, std::int64_t viewerFirst);
    // Adds line number lineNo (from 1) whose decoded text is text and whose bytes in the file
    // are bytes (a CR included, the LF not).
    bool AddLine(std::int64_t lineNo, const std::string& text, std::string_view bytes);
    // A piece of a line too long to keep whole, whose bytes are bytes: a block of its own.
    bool AddPiece(std::int64_t lineNo, const std::string& text, std::string_view bytes);
    // Writes the lines gathered so far.
    bool Flush();

  private:
    std::int64_t Viewer(std::int64_t lineNo) const {
        return m_nViewerFirst < 0 ? -1 : m_nViewerFirst + lineNo - 1;
    }

    CIndexWriter& m_writer;
    std::int64_t m_nRank;
    std::int64_t m_nSource = 0;
    std::int64_t m_nViewerFirst = -1;
    std::int64_t m_nFirst = 0;
    std::size_t m_nLines = 0;
    std::string m_strText, m_strBytes;
};

// Gathers rows of one table that belong to one session into blocks.
class CRowBatcher {
  public:
    CRowBatcher(CIndexWriter& writer, std::int64_t rank, std::int64_t source)
        : m_writer(writer), m_nRank(rank), m_nSource(source) {}

    // Adds the row of rowid row whose text columns, joined by tabs, are text.
    bool Add(std::int64_t row, const std::string& text);
    // Writes the rows gathered so far.
    bool Flush();

  private:
    CIndexWriter& m_writer;
    std::int64_t m_nRank;
    std::int64_t m_nSource;
    std::int64_t m_nFirst = 0;
    std::size_t m_nRows = 0;
    std::string m_strText, m_strRows;
};

}  // namespace session_index
