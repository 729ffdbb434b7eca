// The text index of one imported package: every text the package holds about its sessions,
// decoded to UTF-8, in {work}/{name}index.db, searchable by any substring (session_search.h).
//
// What is indexed, each piece leading back to its session:
//   - graphical sessions (unix_vsms_log, unix_xapp_log; recording name at position 8): the
//     scan files utm2dba names for the recording, in the order the scan viewer shows them,
//     then the session's own "<recording>.scan" file, line by line;
//   - character and transfer sessions (unix_sms_log, unix_xfer_log; key at position 8): the
//     text record of position 9, mapped into the package as the session list maps it, line
//     by line;
//   - the rows of utm_dba_scan and utm_xapp_scan (session name at position 1) and the rows of
//     child.db's session tables except the flag == 1000 size records, each row's text columns
//     joined by a tab.
// Text that names no listed session is still indexed, under a session of no view. Sessions are
// indexed newest first, each with all its texts, so the index's order is the search's.
//
// The index keeps the n-grams of the texts (session_tokenizer.h) and the texts' bytes in blocks
// of lines or rows, packed (block_codec.h), so that a search checks its candidates without
// opening the package's files; about two thirds of the text's size in all.
//
// Package data is only read: Parent.db and child.db are opened read-only with connections of
// the builder's own (schema not trusted, statements stoppable), files are opened beneath the
// work folder only and read in bounded steps, and the index database is written with bound
// values only.
//
// The file records how far its build is (status, done, total), committed as the build goes,
// so a search (in this process or another) can tell that it is still being built.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tavrin/find/index_status.h"

namespace session_index {

// Where one package's data and index lie (file-system bytes).
struct SessionIndexInputs {
    std::string strWorkFolder;  // {exe}/{name}
    std::string strParentDb;    // {work}/{name}Parent.db
    std::string strChildDb;     // {work}/{name}child.db
    std::string strIndexDb;     // {work}/{name}index.db
};

// The inputs of the package whose work folder is workFolder: the package name is the folder's
// last component.
SessionIndexInputs IndexInputsForWorkFolder(const std::string& workFolder);

// {work}/{name}index.db for the package whose work folder is workFolder.
std::string IndexPathForWorkFolder(const std::string& workFolder);

// Shared between a build and whoever watches or stops it. Any thread.
struct SessionIndexControl {
    std::atomic<bool> bStopRequested{false};
    std::atomic<std::uint64_t> nDone{0};   // units of work done (sessions, tables, scan rows)
    std::atomic<std::uint64_t> nTotal{0};  // units planned; 0 until the plan is known
};

// Outcome of one build.
struct SessionIndexOutcome {
    IndexStatus status = IndexStatus::kFailed;  // kBuilt, kStopped or kFailed
    std::string strError;                       // why it failed (English, for the console)
    std::uint64_t nEntries = 0;                 // index entries written
    std::uint64_t nLines = 0;                   // lines and rows indexed
};

// Builds the index of the package from scratch on the calling thread (an older index file is
// replaced). Stops soon after control.bStopRequested is set; the file then says "stopped".
// Never throws; failures (unwritable folder, full disk, unreadable index) give kFailed and
// are recorded in the file when it can still be written. Missing package tables or files
// are not failures: they add nothing.
SessionIndexOutcome BuildSessionIndex(const SessionIndexInputs& inputs,
                                      SessionIndexControl& control);

}  // namespace session_index
