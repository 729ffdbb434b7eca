// Searching the text indexes (session_index.h) of one or more imported packages.
//
// A query matches any substring of a line, Chinese included, ASCII letters without regard to
// case; it is plain text (no wildcards). The index (session_tokenizer.h) gives the entries
// that may hold it, whose text is then unpacked from the index and checked line by line. A
// file's lines count only while the file still has the size it had when indexed (the
// package changed otherwise: its lines are not found until the index is built again). A hit is one
// line of a file or one row of a table, with the session it belongs to. Hits come newest session
// first (by the session's start time as stored; texts of no listed session last), lines in file
// order within a session; at most nMaxHits are returned, and all of them are counted.
//
// An index that is still being built (or was stopped) is searched as far as it is written,
// and the result says how far the build is. No Qt; any thread; each call opens its own
// read-only connections.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tavrin/find/session_index.h"

namespace session_index {

// How far one package's index is.
struct PackageIndexState {
    std::string strWorkFolder;
    std::string strPackage;  // the work folder's last component
    IndexStatus status = IndexStatus::kMissing;
    std::uint64_t nDone = 0, nTotal = 0;  // units, as SessionIndexControl counts them
    std::string strMessage;               // why it failed, or why it could not be read
    bool bReadFailed = false;  // a search could not read the index to its end (not stopped)
};

// Reads the state recorded in the package's index file (kMissing when there is none or it
// cannot be read as an index).
PackageIndexState ReadIndexState(const std::string& workFolder);

// Percentage of a build, 0 to 100 (0 while the total is unknown).
int PercentDone(std::uint64_t done, std::uint64_t total);

struct SessionHit {
    std::string strPackage;        // package name
    std::string strWorkFolder;     // its work folder
    std::string strView;           // unix_sms_log, unix_xfer_log, unix_vsms_log, unix_xapp_log;
                                   // empty for text of no listed session
    std::string strSession;        // session key or recording name: the package's bytes
    std::string strSessionText;    // the same, decoded for display (UTF-8)
    std::int64_t nSessionRow = 0;  // rowid of the session's row in its view's table
    std::string strStartTime, strLoginName, strRemoteName;  // UTF-8, as stored
    bool bFromFile = true;   // a line of a file, else a row of a table
    std::string strSource;   // the file beneath the work folder, or the table (package bytes)
    std::int64_t nLine = 0;  // line of the file (from 1), or the rowid of the row
    // Index of the line in the scan viewer's sequence of the session (from 0; its page is
    // nViewerLine / 25 + 1), or -1 when the scan viewer does not show this line.
    std::int64_t nViewerLine = -1;
    std::string strText;  // the line (or the row's text columns joined by tabs), UTF-8; bytes
                          // the code page does not decode appear as \xNN
    std::size_t nMatchOffset = 0, nMatchLength = 0;  // first match in strText, in bytes
};

struct SessionSearchOptions {
    std::size_t nMaxHits = 1000;
    bool bCountAll = true;  // false: stop once nMaxHits are found (nTotal is then a lower bound)
    const std::atomic<bool>* pStop = nullptr;  // set from another thread to cut the search short
    // Only hits of sessions listed in these tables (unix_sms_log, ...); empty: every hit, also
    // of text that names no listed session.
    std::vector<std::string> views;
};

struct SessionSearchResult {
    std::vector<SessionHit> hits;
    std::uint64_t nTotal = 0;  // matching lines and rows in all the packages searched
    bool bComplete = true;     // every index was built completely and the search not stopped
    std::vector<PackageIndexState> packages;  // one per work folder searched, in order
};

// Searches the indexes of the packages whose work folders are given. queryUtf8 is matched as
// plain text (no wildcards); an empty query finds nothing. A package without a readable index
// contributes no hit and shows as kMissing in packages.
SessionSearchResult SearchSessions(const std::vector<std::string>& workFolders,
                                   std::string_view queryUtf8,
                                   const SessionSearchOptions& options = {});

// Byte offset of the first occurrence of needle in text, letters A-Z matching a-z; npos when
// there is none. Exposed for marking matches the same way the search finds them.
std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view needle);

}  // namespace session_index
