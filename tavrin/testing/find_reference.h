// The differential check of "Find in sessions": random packages holding text in every source
// the text index reads, and a reference that finds a query in them by reading every line and
// row of the imported package directly (no index, no blocks, no pieces), in the order the
// search promises. Header-only, for the find tests and tavrin-query's.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/db_handle.h"
#include "platform/ansi_decoder.h"
#include "platform/codepage.h"
#include "tavrin/find/session_index.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/testing/find_test_package.h"
#include "tavrin/testing/import_test_util.h"

namespace session_index::test {

// A line longer than this is kept by the index in pieces; the reference only says it is found
// under its number (its hit's text is a piece of it).
inline constexpr std::size_t kReferencePieceBytes = 1 << 20;

inline std::string FoldAsciiCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

// One line of a file or one row of a table as the reference sees it.
struct RefLine {
    std::string strView;     // empty: a session of no view
    std::string strSession;  // key or recording name, package bytes
    std::string strSource;   // file beneath the work folder, or table
    bool bFromFile = true;
    std::int64_t nLine = 0;
    std::int64_t nViewer = -1;
    std::string strText;   // decoded
    bool bLong = false;    // longer than a piece
    std::string strStart;  // the session's start time, UTF-8 (empty: of no view)
};

// "view|session|source|file/table|line|viewer|text", the text left out of long lines.
inline std::string DescribeRef(const RefLine& line) {
    return line.strView + "|" + line.strSession + "|" + line.strSource + "|" +
           (line.bFromFile ? "file" : "table") + "|" + std::to_string(line.nLine) + "|" +
           std::to_string(line.nViewer) + "|" + (line.bLong ? "<long line>" : line.strText);
}

// Every text of an imported package, read without the index, in the search's order: sessions
// newest first (start time as stored, list order among equal times; sessions of no view last,
// in the order their texts are met), and within a session its files, its scan-table rows, then
// its terminal tables.
class CReferenceCorpus {
  public:
    explicit CReferenceCorpus(const std::string& work) : m_strWork(work) {
        std::string name = work.substr(work.rfind('/') + 1);
        Read(work + "/" + name + "Parent.db", work + "/" + name + "child.db");
    }

    const std::vector<RefLine>& Lines() const { return m_lines; }

    std::vector<RefLine> Find(std::string_view query) const {
        std::vector<RefLine> hits;
        if (query.empty()) return hits;
        const std::string folded = FoldAsciiCase(query);
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            if (m_folded[i].find(folded) != std::string::npos) hits.push_back(m_lines[i]);
        }
        return hits;
    }

  private:
    struct Session {
        std::string strView, strName, strStart, strRecord;
        bool bGraphic = false;
        std::vector<RefLine> lines;
    };

    static std::string Column(sqlite3_stmt* st, int col) {
        if (col >= sqlite3_column_count(st)) return std::string();
        const void* data = sqlite3_column_blob(st, col);
        return data ? std::string(static_cast<const char*>(data),
                                  static_cast<std::size_t>(sqlite3_column_bytes(st, col)))
                    : std::string();
    }

    template <typename F>
    static void Each(sqlite3* db, const std::string& sql, F f) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) f(st);
        }
        sqlite3_finalize(st);
    }

    // The text columns of a row (from column first on), decoded, joined by tabs.
    std::string RowText(sqlite3_stmt* st, int first) {
        std::string text;
        bool any = false;
        for (int col = first; col < sqlite3_column_count(st); ++col) {
            if (sqlite3_column_type(st, col) != SQLITE_TEXT) continue;
            if (any) text += '\t';
            any = true;
            text += m_decoder.ToUtf8(Column(st, col));
        }
        return text;
    }

    // Lines split at LF, one CR before it dropped; a last line without LF counts.
    void AddFile(Session& s, const std::string& rel, std::int64_t viewerFirst,
                 std::int64_t& count) {
        count = 0;
        const std::string path = m_strWork + "/" + rel;
        std::error_code error;
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) return;
        const std::string bytes = package_import::test::ReadFile(path);
        std::size_t at = 0;
        while (at < bytes.size()) {
            std::size_t lf = bytes.find('\n', at);
            std::string line = bytes.substr(at, lf == std::string::npos ? lf : lf - at);
            at = lf == std::string::npos ? bytes.size() : lf + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            RefLine ref;
            ref.strView = s.strView;
            ref.strSession = s.strName;
            ref.strSource = rel;
            ref.nLine = ++count;
            ref.nViewer = viewerFirst < 0 ? -1 : viewerFirst + count - 1;
            ref.bLong = line.size() > kReferencePieceBytes;
            ref.strText = m_decoder.ToUtf8(line);
            ref.strStart = s.strStart;
            s.lines.push_back(std::move(ref));
        }
    }

    std::size_t SessionOf(bool graphic, const std::string& name) {
        for (std::size_t i = 0; i < m_sessions.size(); ++i) {
            if (!m_sessions[i].strView.empty() && m_sessions[i].bGraphic == graphic &&
                m_sessions[i].strName == name)
                return i;
        }
        for (std::size_t i = 0; i < m_sessions.size(); ++i) {
            if (m_sessions[i].strView.empty() && m_sessions[i].strName == name) return i;
        }
        Session orphan;
        orphan.strName = name;
        m_sessions.push_back(orphan);
        return m_sessions.size() - 1;
    }

    void Read(const std::string& parentPath, const std::string& childPath) {
        sqlite3* parent = nullptr;
        sqlite3_open_v2(parentPath.c_str(), &parent, SQLITE_OPEN_READONLY, nullptr);
        struct View {
            const char* table;
            bool graphic;
            int start;
        };
        for (const View& view : {View{"unix_sms_log", false, 4}, View{"unix_xfer_log", false, 4},
                                 View{"unix_vsms_log", true, 3}, View{"unix_xapp_log", true, 3}}) {
            Each(parent, std::string("SELECT * FROM ") + view.table + " ORDER BY rowid",
                 [&](sqlite3_stmt* st) {
                     Session s;
                     s.strView = view.table;
                     s.bGraphic = view.graphic;
                     s.strName = Column(st, 8);
                     s.strStart = m_decoder.ToUtf8(Column(st, view.start));
                     if (!view.graphic) s.strRecord = Column(st, 9);
                     m_sessions.push_back(s);
                 });
        }
        std::stable_sort(
            m_sessions.begin(), m_sessions.end(),
            [](const Session& a, const Session& b) { return a.strStart > b.strStart; });
        std::vector<std::pair<std::string, std::string>> dba;  // (recording, file)
        Each(parent, "SELECT * FROM utm2dba ORDER BY rowid", [&](sqlite3_stmt* st) {
            if (sqlite3_column_type(st, 2) != SQLITE_NULL)
                dba.emplace_back(Column(st, 1), Column(st, 2));
        });
        const char kSessions[] = "var/utm/data/sessions/";
        for (Session& s : m_sessions) {
            std::int64_t count = 0;
            if (!s.bGraphic) {
                if (s.strRecord.empty()) continue;
                // The session list's mapping: ':' to '_', the extension dropped (ASCII paths).
                std::string rel = s.strRecord;
                std::replace(rel.begin(), rel.end(), ':', '_');
                rel.resize(rel.size() > 4 ? rel.size() - 4 : 0);
                rel.erase(0, rel.find_first_not_of('/'));
                AddFile(s, rel, -1, count);
                continue;
            }
            // The scan viewer reads no name that begins with '/' or climbs with "..": such a
            // file (beneath the sessions folder, the leading '/' aside) is found, on no page.
            std::int64_t viewer = 0;
            for (const auto& [recording, file] : dba) {
                if (recording != s.strName) continue;
                if (("/" + file + "/").find("/../") != std::string::npos) continue;
                if (file[0] == '/') {
                    AddFile(s, kSessions + file.substr(file.find_first_not_of('/')), -1, count);
                    continue;
                }
                AddFile(s, kSessions + file, viewer, count);
                viewer += count;
            }
            AddFile(s, kSessions + s.strName + ".scan", viewer == 0 ? 0 : -1, count);
        }
        for (const char* table : {"utm_dba_scan", "utm_xapp_scan"}) {
            Each(parent, std::string("SELECT rowid, * FROM ") + table + " ORDER BY rowid",
                 [&](sqlite3_stmt* st) {
                     Session& s = m_sessions[SessionOf(true, Column(st, 2))];
                     RefLine ref{
                         s.strView, s.strName,      table, false,     sqlite3_column_int64(st, 0),
                         -1,        RowText(st, 1), false, s.strStart};
                     if (!ref.strText.empty()) s.lines.push_back(std::move(ref));
                 });
        }
        sqlite3_close(parent);

        sqlite3* child = nullptr;
        sqlite3_open_v2(childPath.c_str(), &child, SQLITE_OPEN_READONLY, nullptr);
        std::vector<std::string> tables;
        Each(child,
             "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' "
             "ESCAPE '!' ORDER BY rowid",
             [&](sqlite3_stmt* st) { tables.push_back(Column(st, 0)); });
        std::vector<std::size_t> owners;
        for (const std::string& table : tables) owners.push_back(SessionOf(false, table));
        for (std::size_t t = 0; t < tables.size(); ++t) {
            Session& s = m_sessions[owners[t]];
            Each(child, "SELECT rowid, * FROM \"" + tables[t] + "\" ORDER BY rowid",
                 [&](sqlite3_stmt* st) {
                     for (int col = 1; col < sqlite3_column_count(st); ++col) {
                         if (std::string(sqlite3_column_name(st, col)) == "flag" &&
                             sqlite3_column_int(st, col) == 1000 &&
                             sqlite3_column_type(st, col) != SQLITE_NULL)
                             return;  // a size record
                     }
                     RefLine ref{s.strView,
                                 s.strName,
                                 tables[t],
                                 false,
                                 sqlite3_column_int64(st, 0),
                                 -1,
                                 RowText(st, 1),
                                 false,
                                 s.strStart};
                     if (!ref.strText.empty()) s.lines.push_back(std::move(ref));
                 });
        }
        sqlite3_close(child);
        // Child tables may belong to sessions ordered before others; gather in session order.
        for (Session& s : m_sessions) {
            for (RefLine& line : s.lines) m_lines.push_back(std::move(line));
        }
        for (const RefLine& line : m_lines) m_folded.push_back(FoldAsciiCase(line.strText));
    }

    std::string m_strWork;
    platform::CAnsiDecoder m_decoder;
    std::vector<Session> m_sessions;  // listed ones ranked, then those of no view
    std::vector<RefLine> m_lines;
    std::vector<std::string> m_folded;  // each line's text, A-Z as a-z
};

// ---------------------------------------------------------------------------------------------
// Random packages: every source of session text, with the texts that trouble a search.

class CRandomFindPackage {
  public:
    explicit CRandomFindPackage(unsigned seed, bool bLongLines = false)
        : m_rng(seed), m_bLongLines(bLongLines) {}

    // Writes the package's tree into stage (archived as "var") for the package
    // audit_log_2016-09-01_2016-09-10.
    void Write(const std::string& stage) {
        const std::string dump = stage + "/var/tmp/backup_log/data_2016-09-01_2016-09-10/";
        const std::string sessions = stage + "/var/utm/data/sessions/";
        using package_import::test::WriteFile;
        std::string sms, xfer, vsms, xapp, dba, dbaScan, xappScan, sql;
        std::vector<std::string> charKeys, graphicNames;
        int dbaId = 0, dbaScanId = 0, xappScanId = 0;
        for (int i = 0; i < 150; ++i) {
            const bool transfer = i % 4 == 3;
            // One transfer shares its key with a character session.
            const std::string key =
                i == 7 ? "sms_6" : (transfer ? "xfer_" : "sms_") + std::to_string(i);
            charKeys.push_back(key);
            // Colons in some paths; a few sessions without a file, or without a record field.
            std::string file = i % 5 == 0 ? "12:3" + std::to_string(i) : "c" + std::to_string(i);
            std::string mapped = file;
            std::replace(mapped.begin(), mapped.end(), ':', '_');
            const std::string record =
                i % 17 == 16 ? "" : "/var/utm/data/sessions/" + file + ".txt";
            (transfer ? xfer : sms) += CharRow(std::to_string(i + 1), Start(), key, record);
            if (i % 11 != 10) WriteFile(sessions + mapped, TextFile(1 + Below(30)));
            if (i % 3 == 0) {
                std::vector<std::string> rows;
                for (int r = 0, n = 1 + Below(6); r < n; ++r) {
                    const bool size = Below(4) == 0;
                    const std::string user =
                        Below(5) == 0 ? "NULL"
                                      : "'" + SqlText(Gbk(Below(2) ? "root" : "管理员")) + "'";
                    rows.push_back("(" + std::to_string(r + 1) + "," +
                                   (size ? "1000" : std::to_string(Below(3))) + "," + user + ",'" +
                                   SqlText(size ? "SIZE-RECORD-" + std::to_string(r) : Line()) +
                                   // An escaped line end, as a dump writes one.
                                   (Below(6) == 0 ? "\\n" + SqlText(Line()) : "") + "')");
                }
                sql += TerminalTable(key, rows);
            }
        }
        for (int i = 0; i < 90; ++i) {
            // Some recordings have GBK names; one is listed in both graphical views.
            const std::string name =
                i == 5 ? "g4" : (i % 10 == 9 ? Gbk("会话") : "g") + std::to_string(i);
            graphicNames.push_back(name);
            (i % 3 == 2 ? xapp : vsms) += GraphicRow(std::to_string(i + 1), Start(), name);
            if (i == 5) continue;
            // A name the scan viewer does not read (it begins with '/'), before the others.
            if (i % 8 == 1) {
                const std::string file = name + "_abs.txt";
                dba += std::to_string(++dbaId) + "\t" + name + "\t/" + file + "\t\n";
                WriteFile(sessions + file, TextFile(1 + Below(5)));
            }
            // Named files (some missing, some empty), and the session's own ".scan" file.
            for (int f = 0, n = Below(4); f < n; ++f) {
                const std::string file = name + "_" + std::to_string(f) + ".txt";
                dba += std::to_string(++dbaId) + "\t" + name + "\t" + file + "\t" + Start() + "\n";
                const int kind = Below(6);
                // A file named twice for the recording.
                if (kind == 5) dba += std::to_string(++dbaId) + "\t" + name + "\t" + file + "\t\n";
                if (kind == 0) continue;
                WriteFile(sessions + file, kind == 1 ? std::string() : TextFile(1 + Below(150)));
            }
            if (Below(3) != 0) WriteFile(sessions + name + ".scan", TextFile(1 + Below(30)));
        }
        if (m_bLongLines) {
            // Lines longer than a piece: texts deep inside them, and one across a piece's end.
            std::string longLine;
            while (longLine.size() < kReferencePieceBytes + 300000) longLine += Line() + " ";
            // (After a space, so that no GBK lead byte before takes a letter as its pair.)
            longLine.replace(kReferencePieceBytes + 200000, 17, " DEEP-LONG-NEEDLE");
            longLine.replace(kReferencePieceBytes - 9, 17, " EDGE-LONG-NEEDLE");
            longLine.replace(5000, 17, " NEAR-LONG-NEEDLE");
            // Chinese a little before the piece's end and deep in the next.
            for (std::size_t at : {kReferencePieceBytes - 4101, kReferencePieceBytes + 100000})
                longLine.replace(at, 13, " " + Gbk("审计日志财务系统").substr(0, 12));
            dba += std::to_string(++dbaId) + "\tg0\tg0_long.txt\t" + Start() + "\n";
            WriteFile(sessions + "g0_long.txt", "before\r\n" + longLine + "\r\nafter\n");
        }
        // Scan rows of graphical sessions, of character sessions' keys and of no session.
        for (int r = 0; r < 400; ++r) {
            const int pick = Below(10);
            const std::string name =
                pick < 7   ? graphicNames[Below(static_cast<int>(graphicNames.size()))]
                : pick < 8 ? charKeys[Below(static_cast<int>(charKeys.size()))]
                           : "ghost" + std::to_string(Below(4));
            std::string& out = Below(2) ? dbaScan : xappScan;
            int& id = &out == &dbaScan ? dbaScanId : xappScanId;
            out += std::to_string(++id) + ",\"" + name + "\",\"" + Start() + "\",\"" +
                   CsvText(Line()) + "\"\n";
        }
        // A terminal table of no listed session.
        sql += TerminalTable("lost_1", {"(1,1,'root','" + SqlText(Line()) + "')"});
        WriteFile(dump + "unix_sms_log.bak", sms);
        WriteFile(dump + "unix_xfer_log.bak", xfer);
        WriteFile(dump + "unix_vsms_log.bak", vsms);
        WriteFile(dump + "unix_xapp_log.bak", xapp);
        WriteFile(dump + "utm2dba.bak", dba);
        WriteFile(dump + "utm_dba_scan.bak", dbaScan);
        WriteFile(dump + "utm_xapp_scan.bak", xappScan);
        WriteFile(dump + "sub_table_sms.sql", "/*!40101 SET NAMES gbk */;\n" + sql);
    }

    // Queries for a package whose texts reference holds: parts of its lines (1, 2, 3 and more
    // characters, letters' case changed), the ends of neighbouring lines joined (with and
    // without the line end), texts no line holds, Chinese, escapes of undecodable bytes.
    std::vector<std::string> Queries(const CReferenceCorpus& reference, int count) {
        std::vector<std::string> queries = {
            "审计", "财务系统",         "管理", "\\xFF",      "xFF", "x81", "FE", "\\x8",
            "z\\",  "nowhere-at-all-q", "☃",    "SIZE-RECORD"};
        if (m_bLongLines) {
            for (const char* q : {"deep-long-needle", "EDGE-LONG-NEEDLE", "near-LONG", "日志财务"})
                queries.push_back(q);
        }
        const std::vector<RefLine>& lines = reference.Lines();
        std::vector<std::size_t> usable;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].bLong && !lines[i].strText.empty()) usable.push_back(i);
        }
        if (usable.empty()) return queries;
        while (static_cast<int>(queries.size()) < count) {
            const std::size_t at = usable[Below(static_cast<int>(usable.size()))];
            const std::vector<std::string> chars = Characters(lines[at].strText);
            const int kind = Below(9);
            std::string query;
            if (kind < 5) {
                static const int kLengths[] = {1, 2, 3, 5, 12};
                const std::size_t length =
                    std::min<std::size_t>(static_cast<std::size_t>(kLengths[kind]), chars.size());
                const std::size_t from = Below(static_cast<int>(chars.size() - length + 1));
                for (std::size_t k = from; k < from + length; ++k) query += chars[k];
            } else if (kind == 7) {
                query = lines[at].strText;  // a whole line
            } else if (at + 1 < lines.size() && !lines[at + 1].strText.empty()) {
                // The end of one line and the start of the next (same file, or the neighbouring
                // block, session or entry): found only when a line holds it itself.
                const std::vector<std::string> next = Characters(lines[at + 1].strText);
                const std::size_t tail = std::min<std::size_t>(1 + Below(4), chars.size());
                const std::size_t head = std::min<std::size_t>(1 + Below(4), next.size());
                for (std::size_t k = chars.size() - tail; k < chars.size(); ++k) query += chars[k];
                if (kind == 5) query += '\n';
                for (std::size_t k = 0; k < head; ++k) query += next[k];
            } else {
                continue;
            }
            for (char& c : query) {
                if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && Below(2))
                    c = static_cast<char>(c ^ 0x20);
            }
            queries.push_back(query);
        }
        return queries;
    }

  private:
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(m_rng() % static_cast<unsigned>(n)); }

    // Start times with ties, as stored.
    std::string Start() {
        char text[32];
        std::snprintf(text, sizeof text, "2016-09-0%d %02d:%02d:00", 1 + Below(9), Below(3),
                      Below(4) * 15);
        return text;
    }

    // A line's bytes: words in both cases, GBK Chinese, GBK characters whose second byte is a
    // letter or a backslash, undecodable bytes, texts that look like escapes.
    std::string Line() {
        if (Below(40) == 0) {
            // Longer than a search takes trigrams of.
            std::string line;
            while (line.size() < 200) line += Gbk("审计") + " SELECT * FROM payroll ";
            return line;
        }
        static const std::vector<std::string> kWords = {"ls -l",    "cat /etc/shadow",
                                                        "PASSWD",   "passwd",
                                                        "Payroll",  "rm -rf /tmp/x",
                                                        "sudo",     "vi /etc/hosts",
                                                        "abc",      "ABC",
                                                        "xyz",      "Xy",
                                                        "zab",      "q",
                                                        "\\xFF",    "c\\x",
                                                        "x81",      "a\tb",
                                                        "%_*\"(",   "NEAR(",
                                                        "\x81\x41", "\x81\x61",
                                                        "\x8E\x5A", "\x81\x5C",
                                                        "\x95\x5C", "\xFF",
                                                        "\xFE",     "\x80",
                                                        "\x81",     "\xA1"};
        static const std::vector<std::string> kChinese = {"审计", "日志", "财务系统", "管理员",
                                                          "打开", "确定", "张三"};
        std::string line;
        for (int w = 0, n = Below(7); w < n; ++w) {
            if (!line.empty() && Below(3)) line += ' ';
            line += Below(4) == 0 ? Gbk(kChinese[Below(static_cast<int>(kChinese.size()))])
                                  : kWords[Below(static_cast<int>(kWords.size()))];
        }
        return line;
    }

    // Lines ending in LF or CR LF, some empty, the last one maybe without a line end, a GBK
    // lead byte cut off at some line ends.
    std::string TextFile(int lines) {
        std::string text;
        const bool crlf = Below(2) == 0;
        for (int l = 0; l < lines; ++l) {
            if (Below(8) != 0) text += Line();
            if (Below(10) == 0) text += "\xB0";
            if (l + 1 < lines || Below(3)) text += crlf || Below(6) == 0 ? "\r\n" : "\n";
        }
        return text;
    }

    // A text inside a quoted CSV field of the scan dumps: no quote, no line end, no backslash
    // ending it.
    static std::string CsvText(std::string text) {
        text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
        while (!text.empty() && text.back() == '\\') text.pop_back();
        return text;
    }

    // A text inside a quoted SQL string of the terminal dump.
    static std::string SqlText(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '\\' || c == '\'') out += '\\';
            out += c;
        }
        return out;
    }

    // The characters of a UTF-8 text.
    static std::vector<std::string> Characters(const std::string& utf8) {
        std::vector<std::string> out;
        for (std::size_t at = 0; at < utf8.size();) {
            std::size_t n = 1;
            while (at + n < utf8.size() &&
                   (static_cast<unsigned char>(utf8[at + n]) & 0xC0) == 0x80)
                ++n;
            out.push_back(utf8.substr(at, n));
            at += n;
        }
        return out;
    }

    std::mt19937 m_rng;
    bool m_bLongLines;
};

// Writes the random package of seed in folder, imports it with the real import into a program
// folder of its own there and builds its index; returns its work folder (empty, the test
// skipped, where there is no archiver to import with).
inline std::string ImportRandomPackage(const std::string& folder, unsigned seed, bool longLines) {
    const std::string tag = std::to_string(seed);
    const std::string stage = folder + "/stage" + tag;
    CRandomFindPackage(seed, longLines).Write(stage);
    const std::string program = folder + "/program" + tag;
    package_import::test::LayOutProgramFolder(program);
    if (testing::Test::IsSkipped()) return std::string();  // no archiver (nor tar) here
    const std::string tar = folder + "/p" + tag + "/audit_log_2016-09-01_2016-09-10.tar";
    package_import::test::WriteFile(tar, "");
    EXPECT_TRUE(package_import::test::MakeTar(tar, stage, {"var"}));
    const std::string work = ImportTar(program, tar);
    SessionIndexControl control;
    const SessionIndexOutcome outcome = BuildSessionIndex(IndexInputsForWorkFolder(work), control);
    EXPECT_EQ(outcome.status, IndexStatus::kBuilt) << outcome.strError;
    // Entries of many sessions each, and sessions across entries.
    EXPECT_GE(outcome.nEntries, 10u);
    return work;
}

}  // namespace session_index::test
