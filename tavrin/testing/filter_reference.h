// A reference for the session browser's filters, independent of the SQL it builds: random audit
// tables with awkward values (boundary times, look-alike addresses, names with wildcards,
// quotes, mixed case, GBK Chinese and bytes GBK cannot decode), written into a real Parent.db,
// random filters as an auditor fills the window's fields, and a plain predicate per view that
// says which rows those fields select, in the order the list shows them.
//
// What the reference holds an auditor to expect:
// - Time range: login time at or after "from", end time at or before "to", both bounds
//   included. Stored times are "YYYY-MM-DD HH:MM:SS", so text order is time order; a NULL time
//   is in no range, an empty one sorts before every time (the stored text is compared).
// - Addresses: the stored text equals the typed address exactly (010.0.0.1 is not 10.0.0.1).
// - Names: the stored name contains the typed text, character for character in the package's
//   code page, ASCII letters in either case, with a typed '%' any run of characters and '_'
//   any one character (LIKE's wildcards, which the window keeps); '\', quotes and blanks
//   match only themselves. A NULL name contains nothing.
// - An empty field does not filter.
// - Order: a single table's rows as stored; the joined view lists the application records of
//   unix_vsms_log's sessions, then those of unix_xapp_log's, each half in an order of SQLite's
//   choosing (it follows the sessions, or the records when a remote address is given): the
//   list does not sort, so only the halves are fixed, and every page must agree with it.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tavrin/browser/query_builder.h"

namespace browser::test {

// A stored field: its bytes, and what an auditor reads in them (UTF-16; a byte that forms no
// GBK character reads as U+DC00 + byte, which no typed text holds).
struct RefValue {
    bool bNull = false;
    std::string bytes;
    std::u16string meaning;
};

inline RefValue Null() {
    RefValue v;
    v.bNull = true;
    return v;
}

inline RefValue Text(std::u16string_view text) {
    return RefValue{false, platform::Utf16ToAnsi(text), std::u16string(text)};
}

// The filter columns of one listed row, and what identifies it in the list.
struct RefRow {
    std::string strId;
    std::string strGroup;  // rows of one group may be listed in any order among themselves
    RefValue loginTime, endTime, loginAddr, remoteAddr, loginName, remoteName;
};

// What the auditor typed (times in the window's form).
struct RefFilter {
    std::string strFrom, strTo;
    std::string strLoginAddr, strRemoteAddr;
    std::u16string strLoginName, strRemoteName;

    FilterValues Values() const {
        FilterValues v;
        v.strStart = platform::Utf8ToUtf16(strFrom);
        v.strEnd = platform::Utf8ToUtf16(strTo);
        v.strLoginAddr = platform::Utf8ToUtf16(strLoginAddr);
        v.strRemoteAddr = platform::Utf8ToUtf16(strRemoteAddr);
        v.strLoginName = strLoginName;
        v.strRemoteName = strRemoteName;
        return v;
    }
    std::string Describe() const {
        return "from \"" + strFrom + "\" to \"" + strTo + "\" login-addr \"" + strLoginAddr +
               "\" remote-addr \"" + strRemoteAddr + "\" login-name \"" +
               platform::Utf16ToUtf8(strLoginName) + "\" remote-name \"" +
               platform::Utf16ToUtf8(strRemoteName) + "\"";
    }
};

inline std::u16string FoldAscii(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

// True when text, from its start, matches pattern: '%' any run of characters, '_' one
// character, every other character itself. Each element of the strings is one character.
inline bool LikeMatches(std::u16string_view pattern, std::u16string_view text) {
    // The last '%' seen and where in text its run ends so far: on a mismatch that run grows by
    // one character (no backtracking beyond it is needed).
    std::size_t p = 0, t = 0, star = std::u16string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'%') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && (pattern[p] == u'_' || pattern[p] == text[t])) {
            ++p, ++t;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'%') ++p;
    return p == pattern.size();
}

inline bool NameMatches(const RefValue& stored, const std::u16string& typed) {
    if (typed.empty()) return true;
    // A character the code page lacks is in no stored value.
    for (char16_t c : typed)
        if (c >= 0xD800 && c <= 0xDFFF) return false;
    return !stored.bNull && LikeMatches(u"%" + FoldAscii(typed) + u"%", FoldAscii(stored.meaning));
}

inline bool AddressMatches(const RefValue& stored, const std::string& typed) {
    return typed.empty() || (!stored.bNull && stored.bytes == typed);
}

// Differences between the rows listed (their ids, in list order) and the expected ones: a row
// missing, listed twice or not expected, or a group out of its place. Empty when they agree.
inline std::string CompareListed(const std::vector<RefRow>& expected,
                                 const std::vector<std::string>& listed) {
    std::map<std::string, std::string> groupOf;
    std::vector<std::string> groups, expectedIds;
    for (const RefRow& row : expected) {
        groupOf[row.strId] = row.strGroup;
        if (groups.empty() || groups.back() != row.strGroup) groups.push_back(row.strGroup);
        expectedIds.push_back(row.strId);
    }
    std::vector<std::string> listedGroups;
    for (const std::string& id : listed) {
        const auto it = groupOf.find(id);
        const std::string group = it == groupOf.end() ? "unexpected " + id : it->second;
        if (listedGroups.empty() || listedGroups.back() != group) listedGroups.push_back(group);
    }
    std::vector<std::string> sortedListed = listed;
    std::sort(sortedListed.begin(), sortedListed.end());
    std::sort(expectedIds.begin(), expectedIds.end());
    if (sortedListed == expectedIds && listedGroups == groups) return std::string();
    std::string text = "expected (" + std::to_string(expected.size()) + "):";
    for (const RefRow& row : expected) text += " " + row.strId;
    text += "\nlisted (" + std::to_string(listed.size()) + "):";
    for (const std::string& id : listed) text += " " + id;
    return text;
}

inline bool RefMatches(const RefRow& row, const RefFilter& f) {
    return !row.loginTime.bNull && row.loginTime.bytes >= f.strFrom && !row.endTime.bNull &&
           row.endTime.bytes <= f.strTo && AddressMatches(row.loginAddr, f.strLoginAddr) &&
           AddressMatches(row.remoteAddr, f.strRemoteAddr) &&
           NameMatches(row.loginName, f.strLoginName) &&
           NameMatches(row.remoteName, f.strRemoteName);
}

// Every view, and each one's name as `tavrin-query --view` takes it.
inline constexpr AuditView kViews[] = {AuditView::SmsLog, AuditView::XferLog, AuditView::XappLog,
                                       AuditView::VsmsLog, AuditView::Joined};

inline const char* ViewName(AuditView view) {
    switch (view) {
        case AuditView::SmsLog:
            return "sms";
        case AuditView::XferLog:
            return "xfer";
        case AuditView::XappLog:
            return "xapp";
        case AuditView::VsmsLog:
            return "vsms";
        case AuditView::Joined:
            break;
    }
    return "joined";
}

// One generated session or application record, by column position of its table.
using RefRecord = std::vector<RefValue>;

// Random audit tables of one package, in the order they are stored.
struct RefPackage {
    std::vector<RefRecord> sms, xfer, vsms, xapp, tab;

    // The rows of a view with their filter columns, in list order.
    std::vector<RefRow> ViewRows(AuditView view) const {
        std::vector<RefRow> rows;
        auto single = [&](const std::vector<RefRecord>& table, bool bChar) {
            // Positions: character tables 4 12 5 2 6 7, key 8; graphical 3 13 4 6 5 7, name 8.
            for (const RefRecord& r : table) {
                if (bChar)
                    rows.push_back({r[8].bytes, r[8].bytes, r[4], r[12], r[5], r[2], r[6], r[7]});
                else
                    rows.push_back({r[8].bytes, r[8].bytes, r[3], r[13], r[4], r[6], r[5], r[7]});
            }
        };
        switch (view) {
            case AuditView::SmsLog:
                single(sms, true);
                break;
            case AuditView::XferLog:
                single(xfer, true);
                break;
            case AuditView::VsmsLog:
                single(vsms, false);
                break;
            case AuditView::XappLog:
                single(xapp, false);
                break;
            case AuditView::Joined:
                for (const std::vector<RefRecord>* half : {&vsms, &xapp}) {
                    const std::string group = half == &vsms ? "vsms half" : "xapp half";
                    for (const RefRecord& a : *half) {
                        for (const RefRecord& c : tab) {
                            if (a[8].bNull || c[6].bNull || a[8].bytes != c[6].bytes) continue;
                            // Identified by the application record's date and clock, as
                            // column 1 shows them.
                            rows.push_back({c[2].bytes + " " + c[3].bytes, group, a[3], a[13], a[4],
                                            c[4], a[5], c[5]});
                        }
                    }
                }
                break;
        }
        return rows;
    }

    std::vector<RefRow> Expected(AuditView view, const RefFilter& f) const {
        std::vector<RefRow> rows;
        for (const RefRow& row : ViewRows(view))
            if (RefMatches(row, f)) rows.push_back(row);
        return rows;
    }
};

// ---------------------------------------------------------------------------------------------
// The generator.

class CRefGenerator {
  public:
    explicit CRefGenerator(unsigned seed) : m_rng(seed) {
        using namespace std::chrono;
        // Month ends, a leap day, a year end, midnight and a working hour, each with the
        // seconds either side.
        const sys_seconds anchors[] = {
            sys_days{2016y / 2 / 29} + 23h + 59min + 59s,
            sys_days{2016y / 9 / 1} + 0s,
            sys_days{2016y / 9 / 5} + 8h,
            sys_days{2016y / 9 / 10} + 23h + 59min + 59s,
            sys_days{2016y / 9 / 30} + 23h + 59min + 59s,
            sys_days{2016y / 12 / 31} + 23h + 59min + 59s,
        };
        for (sys_seconds t : anchors)
            for (int d : {-1, 0, 1}) m_instants.push_back(t + seconds(d));
        // GBK characters whose second byte is an ASCII letter, '\' or '_'.
        for (const char* pair : {"\x81\x5c", "\x95\x5f", "\xb1\x41", "\xd6\x61", "\x85\x5a"}) {
            const std::u16string c = platform::AnsiToUtf16(pair);
            if (c.size() == 1 && c[0] != 0xFFFD && platform::Utf16ToAnsi(c) == pair)
                m_pieces.push_back(c);
        }
    }

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[static_cast<size_t>(Int(0, static_cast<int>(items.size()) - 1))];
    }

    static std::string TimeText(std::chrono::sys_seconds t) {
        using namespace std::chrono;
        const sys_days day = floor<days>(t);
        const year_month_day ymd(day);
        const hh_mm_ss<seconds> hms(t - day);
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld", int(ymd.year()),
                      unsigned(ymd.month()), unsigned(ymd.day()), long(hms.hours().count()),
                      long(hms.minutes().count()), long(hms.seconds().count()));
        return text;
    }

    std::chrono::sys_seconds Instant() { return Pick(m_instants); }

    RefValue Time(std::chrono::sys_seconds t) {
        const int n = Int(1, 100);
        if (n <= 3) return Null();
        if (n <= 5) return Text(u"");
        return Text(platform::Utf8ToUtf16(TimeText(t)));
    }

    RefValue Address() {
        static const std::vector<const char16_t*> stored = {
            u"10.0.0.1",  u"10.0.0.10",     u"10.0.0.100", u"10.0.0.11",
            u"010.0.0.1", u"10.0.0.01",     u"10.0.0.1 ",  u"10.0.5.1",
            u"10.0.0.2",  u"192.168.1.254", u"",           u"254.0.255.254"};
        if (Chance(4)) return Null();
        return Text(Pick(stored));
    }

    std::string TypedAddress() {
        static const std::vector<std::string> typed = {
            "10.0.0.1", "10.0.0.10", "10.0.0.100",    "10.0.0.11",    "10.0.5.1",
            "10.0.0.3", "10.0.0.2",  "192.168.1.254", "254.0.255.254"};
        return Chance(70) ? std::string() : Pick(typed);
    }

    // A piece of a name an auditor can type.
    std::u16string Piece() {
        static const std::vector<std::u16string> pieces = {
            u"root",   u"Root",   u"ROOT", u"admin", u"oracle", u"a",   u"o",    u"%",
            u"_",      u"'",      u"\"",   u"\\",    u" ",      u"%_",  u"王五", u"张三",
            u"管理员", u"数据库", u"财务", u"王",    u"a_b",    u"a%b", u"axb",  u"ab"};
        if (!m_pieces.empty() && Chance(15)) return Pick(m_pieces);
        return Pick(pieces);
    }

    RefValue Name() {
        const int n = Int(1, 100);
        if (n <= 4) return Null();
        if (n <= 7) return Text(u"");
        RefValue v = Text(u"");
        const int count = Int(1, 4);
        for (int i = 0; i < count; ++i) {
            if (Chance(8)) {  // bytes that form no GBK character
                const unsigned char byte = Chance(50) ? 0x80 : 0xFF;
                v.bytes += static_cast<char>(byte);
                v.meaning += static_cast<char16_t>(0xDC00 + byte);
            } else {
                const std::u16string p = Piece();
                v.bytes += platform::Utf16ToAnsi(p);
                v.meaning += p;
            }
        }
        if (Chance(5)) {  // a lead byte cut off at the end
            v.bytes += '\x81';
            v.meaning += static_cast<char16_t>(0xDC81);
        }
        return v;
    }

    std::u16string FlipCase(std::u16string text) {
        for (char16_t& c : text) {
            if (!Chance(30)) continue;
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - 32);
            else if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c + 32);
        }
        return text;
    }

    // A typed name: empty, part of a stored one, or pieces; letters in any case.
    std::u16string TypedName(const std::vector<RefValue>& stored) {
        const int n = Int(1, 100);
        if (n <= 55) return std::u16string();
        if (n <= 80 && !stored.empty()) {
            const RefValue& v = Pick(stored);
            if (!v.bNull && !v.meaning.empty()) {
                const int from = Int(0, static_cast<int>(v.meaning.size()) - 1);
                const int len = Int(1, static_cast<int>(v.meaning.size()) - from);
                std::u16string part = v.meaning.substr(from, len);
                bool typeable = true;
                for (char16_t c : part) typeable = typeable && (c < 0xDC00 || c > 0xDCFF);
                if (typeable) return FlipCase(part);
            }
        }
        if (n <= 82) return u"\U0001F600";  // no GBK character
        std::u16string typed;
        for (int i = Int(1, 2); i > 0; --i) typed += Piece();
        return FlipCase(typed);
    }

    // A session of a character table (13 columns) or a graphical one (14 columns).
    RefRecord Session(bool bChar, int id, const std::string& key) {
        using namespace std::chrono;
        const sys_seconds login = Instant() + seconds(Chance(50) ? 0 : Int(-2, 2));
        const sys_seconds end = Chance(80)
                                    ? login + seconds(Pick(std::vector<int>{0, 1, 3600, 86400}))
                                    : Instant() + seconds(Int(-1, 1));
        const RefValue idText = Text(platform::Utf8ToUtf16(std::to_string(id)));
        RefRecord r(bChar ? 13 : 14, Text(u"x"));
        r[0] = idText;
        if (bChar) {
            r[2] = Address();
            r[4] = Time(login);
            r[5] = Address();
            r[6] = Name();
            r[7] = Name();
            r[8] = Text(platform::Utf8ToUtf16(key));
            r[9] = Text(u"/var/utm/data/sessions/none.txt");
            r[12] = Time(end);
        } else {
            r[1] = idText;
            r[3] = Time(login);
            r[4] = Address();
            r[5] = Name();
            r[6] = Address();
            r[7] = Name();
            r[8] = Text(platform::Utf8ToUtf16(key));
            r[9] = Text(u"1024");
            r[10] = Text(u"768");
            r[13] = Time(end);
        }
        return r;
    }

    RefPackage Package(int sessionsPerTable) {
        RefPackage p;
        int id = 0;
        for (int i = 0; i < sessionsPerTable; ++i) {
            ++id;
            p.sms.push_back(Session(true, id, "sms_" + std::to_string(id)));
            p.xfer.push_back(Session(true, id, "xfer_" + std::to_string(id)));
            p.vsms.push_back(Session(false, id, "v" + std::to_string(id)));
            p.xapp.push_back(Session(false, id, "x" + std::to_string(id)));
        }
        // Application records: most sessions have some, a few name no session or none.
        int code = 0;
        auto add = [&](const RefValue& sessionName) {
            ++code;
            RefRecord c(10, Text(u"x"));
            c[0] = Text(platform::Utf8ToUtf16(std::to_string(code)));
            c[1] = c[0];
            c[2] = Text(u"2016-09-05");
            c[3] = Text(platform::Utf8ToUtf16("c" + std::to_string(code)));
            c[4] = Address();
            c[5] = Name();
            c[6] = sessionName;
            p.tab.push_back(c);
        };
        for (int round = 0; round < 3; ++round) {
            for (const std::vector<RefRecord>* half : {&p.vsms, &p.xapp})
                for (const RefRecord& a : *half)
                    if (Chance(round == 0 ? 80 : 30)) add(a[8]);
            add(Text(u"nosession"));
            add(Null());
        }
        // Stored out of session order, as an appliance's dump may hold them.
        std::shuffle(p.tab.begin(), p.tab.end(), m_rng);
        return p;
    }

    RefFilter Filter(const RefPackage& p) {
        RefFilter f;
        std::chrono::sys_seconds from = Instant(), to = Instant();
        if (from > to && Chance(85)) std::swap(from, to);
        f.strFrom = TimeText(from);
        f.strTo = TimeText(to);
        f.strLoginAddr = TypedAddress();
        f.strRemoteAddr = TypedAddress();
        std::vector<RefValue> names;
        for (const std::vector<RefRecord>* t : {&p.sms, &p.vsms})
            for (const RefRecord& r : *t) names.push_back(r[t == &p.sms ? 6 : 5]);
        f.strLoginName = TypedName(names);
        names.clear();
        for (const RefRecord& r : p.tab) names.push_back(r[5]);
        for (const RefRecord& r : p.sms) names.push_back(r[7]);
        f.strRemoteName = TypedName(names);
        return f;
    }

  private:
    std::mt19937 m_rng;
    std::vector<std::chrono::sys_seconds> m_instants;
    std::vector<std::u16string> m_pieces;
};

// Writes the package's tables into db (made from the table script), in their order, the
// fields bound as the bytes they hold.
inline bool WriteRefPackage(sqlite3* db, const RefPackage& p) {
    auto write = [&](const char* table, const std::vector<RefRecord>& rows) {
        for (const RefRecord& r : rows) {
            std::string sql = std::string("INSERT INTO ") + table + " VALUES (";
            for (size_t i = 0; i < r.size(); ++i) sql += i ? ",?" : "?";
            sql += ")";
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
            for (size_t i = 0; i < r.size(); ++i) {
                const int n = static_cast<int>(i) + 1;
                if (r[i].bNull)
                    sqlite3_bind_null(stmt, n);
                else
                    sqlite3_bind_text(stmt, n, r[i].bytes.data(),
                                      static_cast<int>(r[i].bytes.size()), SQLITE_TRANSIENT);
            }
            const bool ok = sqlite3_step(stmt) == SQLITE_DONE;
            sqlite3_finalize(stmt);
            if (!ok) return false;
        }
        return true;
    };
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const bool ok = write("unix_sms_log", p.sms) && write("unix_xfer_log", p.xfer) &&
                    write("unix_vsms_log", p.vsms) && write("unix_xapp_log", p.xapp) &&
                    write("vsms_xapp_tab", p.tab);
    sqlite3_exec(db, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

}  // namespace browser::test
