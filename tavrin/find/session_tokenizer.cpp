#include "tavrin/find/session_tokenizer.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <unordered_set>
#include <vector>

namespace session_index {

namespace {

// One character: its key (code point + 1, so that no key is 0; a byte that begins no valid
// sequence gets a key above every code point) and its length in bytes.
struct Character {
    std::uint32_t nKey;
    std::uint32_t nBytes;
};

Character NextCharacter(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        const unsigned char folded = c >= 'A' && c <= 'Z' ? c + 32 : c;
        return {folded + 1u, 1};
    }
    std::uint32_t need = 0, code = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
        need = 1, code = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        need = 2, code = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        need = 3, code = c & 0x07, least = 0x10000;
    } else {
        return {0x110001u + c, 1};
    }
    if (left <= need) return {0x110001u + c, 1};
    for (std::uint32_t i = 1; i <= need; ++i) {
        if ((p[i] & 0xC0) != 0x80) return {0x110001u + c, 1};
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < least || code > 0x10FFFF) return {0x110001u + c, 1};
    return {code + 1, need + 1};
}

// The trigram keys seen in the current text: open addressing over keys that are never 0 (0
// marks a free slot), emptied by freeing just the slots used, so a small text costs little.
class CSeenSet {
  public:
    void Clear() {
        for (std::uint32_t slot : m_used) m_keys[slot] = 0;
        m_used.clear();
    }
    // True when key was not in the set (it is now).
    bool Insert(std::uint64_t key) {
        if ((m_used.size() + 1) * 2 > m_keys.size()) Grow();
        const std::size_t mask = m_keys.size() - 1;
        std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;
        while (m_keys[i] != 0) {
            if (m_keys[i] == key) return false;
            i = (i + 1) & mask;
        }
        m_keys[i] = key;
        m_used.push_back(static_cast<std::uint32_t>(i));
        return true;
    }

  private:
    void Grow() {
        std::vector<std::uint64_t> keys(m_keys.empty() ? (1u << 12) : m_keys.size() * 2, 0);
        keys.swap(m_keys);
        std::vector<std::uint32_t> used;
        used.swap(m_used);
        for (std::uint32_t slot : used) Insert(keys[slot]);
    }

    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint32_t> m_used;  // slots holding a key
};

struct CNgramTokenizer {
    CSeenSet seen;
    std::vector<std::uint32_t> starts;  // of a query: byte offset of each character, then the end
};

int Create(void*, const char**, int, Fts5Tokenizer** out) {
    auto* tokenizer = new (std::nothrow) CNgramTokenizer;
    *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
    return tokenizer ? SQLITE_OK : SQLITE_NOMEM;
}

void Delete(Fts5Tokenizer* tokenizer) {
    delete reinterpret_cast<CNgramTokenizer*>(tokenizer);
}

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

// Gives the bytes [begin, end) of text (at most three characters, so at most 12 bytes) as one
// token, ASCII letters folded.
int Give(const char* text, std::uint32_t begin, std::uint32_t end, void* ctx,
         TokenCallback xToken) {
    char token[12];
    const std::uint32_t n = end - begin;
    for (std::uint32_t i = 0; i < n; ++i) {
        const char c = text[begin + i];
        token[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return xToken(ctx, 0, token, static_cast<int>(n), static_cast<int>(begin),
                  static_cast<int>(end));
}

// A query term (or prefix): up to three characters are one token; longer ones their trigrams.
int TokenizeQuery(CNgramTokenizer& t, const char* text, std::size_t total, void* ctx,
                  TokenCallback xToken) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    t.starts.clear();
    for (std::size_t at = 0; at < total; at += NextCharacter(bytes + at, total - at).nBytes)
        t.starts.push_back(static_cast<std::uint32_t>(at));
    t.starts.push_back(static_cast<std::uint32_t>(total));
    const std::size_t n = t.starts.size() - 1;
    if (n <= 3) return Give(text, 0, static_cast<std::uint32_t>(total), ctx, xToken);
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        const int rc = Give(text, t.starts[i], t.starts[i + 3], ctx, xToken);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

// A document: each distinct trigram once, then its last two characters and its last one, so
// that every character begins a token and a query of one or two characters is a prefix
// query. One pass, keeping the last three characters; keys fit: three keys of 21 bits each.
int TokenizeDocument(CNgramTokenizer& t, const char* text, std::size_t total, void* ctx,
                     TokenCallback xToken) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    t.seen.Clear();
    std::uint64_t keys = 0;  // the last three characters' keys, 21 bits each
    std::uint32_t first = 0, second = 0, third = 0;  // their byte offsets
    std::size_t count = 0;
    for (std::size_t at = 0; at < total;) {
        const unsigned char b = bytes[at];
        Character c;
        if (b < 0x80) {
            c = {(b >= 'A' && b <= 'Z' ? b + 32u : b) + 1u, 1};
        } else {
            c = NextCharacter(bytes + at, total - at);
        }
        keys = ((keys << 21) | c.nKey) & ((std::uint64_t{1} << 63) - 1);
        first = second;
        second = third;
        third = static_cast<std::uint32_t>(at);
        at += c.nBytes;
        if (++count >= 3 && t.seen.Insert(keys)) {
            const int rc = Give(text, first, static_cast<std::uint32_t>(at), ctx, xToken);
            if (rc != SQLITE_OK) return rc;
        }
    }
    const auto end = static_cast<std::uint32_t>(total);
    if (count >= 2) {
        const int rc = Give(text, second, end, ctx, xToken);
        if (rc != SQLITE_OK) return rc;
    }
    return count >= 1 ? Give(text, third, end, ctx, xToken) : SQLITE_OK;
}

int Tokenize(Fts5Tokenizer* handle, void* ctx, int flags, const char* text, int size,
             TokenCallback xToken) {
    CNgramTokenizer& t = *reinterpret_cast<CNgramTokenizer*>(handle);
    if (size <= 0) return SQLITE_OK;
    const std::size_t total = static_cast<std::size_t>(size);
    return (flags & FTS5_TOKENIZE_DOCUMENT) == 0 ? TokenizeQuery(t, text, total, ctx, xToken)
                                                 : TokenizeDocument(t, text, total, ctx, xToken);
}

fts5_api* Fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(st, 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(st);
    }
    sqlite3_finalize(st);
    return api;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

}  // namespace

bool RegisterNgramTokenizer(sqlite3* db) {
    fts5_api* api = Fts5Api(db);
    if (!api || api->iVersion < 2) return false;
    fts5_tokenizer tokenizer = {&Create, &Delete, &Tokenize};
    return api->xCreateTokenizer(api, kTokenizerName, nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

std::size_t CountCharacters(std::string_view utf8) {
    std::size_t count = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t at = 0; at < utf8.size(); ++count)
        at += NextCharacter(p + at, utf8.size() - at).nBytes;
    return count;
}

std::string NgramMatchExpression(std::string_view query) {
    if (query.empty()) return std::string();
    std::vector<std::size_t> starts;
    const auto* p = reinterpret_cast<const unsigned char*>(query.data());
    for (std::size_t at = 0; at < query.size();) {
        starts.push_back(at);
        at += NextCharacter(p + at, query.size() - at).nBytes;
    }
    starts.push_back(query.size());
    const std::size_t n = starts.size() - 1;
    if (n < 3) return Quoted(query) + " *";
    if (n == 3) return Quoted(query);
    std::vector<std::string> trigrams;
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        std::string gram(query.substr(starts[i], starts[i + 3] - starts[i]));
        for (char& c : gram) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
        if (seen.insert(gram).second) trigrams.push_back(std::move(gram));
    }
    std::string expression;
    const std::size_t count = trigrams.size();
    const std::size_t taken = count < kMostTrigrams ? count : kMostTrigrams;
    for (std::size_t k = 0; k < taken; ++k) {
        // Spread over the query when there are more than can be taken.
        const std::size_t i = taken == count ? k : k * (count - 1) / (taken - 1);
        if (!expression.empty()) expression += " AND ";
        expression += Quoted(trigrams[i]);
    }
    return expression;
}

}  // namespace session_index
