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

// The keys seen in the current text: open addressing, emptied in constant time by moving to
// the next generation.
class CSeenSet {
  public:
    void Clear() {
        if (++m_nGeneration == 0) {
            std::fill(m_gens.begin(), m_gens.end(), 0);
            m_nGeneration = 1;
        }
        m_nCount = 0;
    }
    // True when key was not in the set (it is now).
    bool Insert(std::uint64_t key) {
        if (m_keys.empty() || (m_nCount + 1) * 2 > m_keys.size()) Grow();
        return Place(key);
    }

  private:
    bool Place(std::uint64_t key) {
        const std::size_t mask = m_keys.size() - 1;
        std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
        while (m_gens[i] == m_nGeneration) {
            if (m_keys[i] == key) return false;
            i = (i + 1) & mask;
        }
        m_gens[i] = m_nGeneration;
        m_keys[i] = key;
        ++m_nCount;
        return true;
    }
    void Grow() {
        std::vector<std::uint64_t> keys;
        std::vector<std::uint32_t> gens;
        keys.swap(m_keys);
        gens.swap(m_gens);
        const std::size_t size = keys.empty() ? (1u << 14) : keys.size() * 2;
        m_keys.assign(size, 0);
        m_gens.assign(size, 0);
        const std::uint32_t generation = m_nGeneration;
        m_nGeneration = 1;
        m_nCount = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (gens[i] == generation) Place(keys[i]);
        }
    }

    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint32_t> m_gens;
    std::uint32_t m_nGeneration = 1;
    std::size_t m_nCount = 0;
};

struct CNgramTokenizer {
    CSeenSet seen;
    std::vector<std::uint32_t> starts;  // byte offset of each character, then the end
    std::vector<std::uint32_t> keys;
    std::string token;
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

// Gives the characters [first, first + n) of text as one token, ASCII letters folded.
int Give(CNgramTokenizer& t, const char* text, std::size_t first, std::size_t n, void* ctx,
         TokenCallback xToken) {
    const std::uint32_t begin = t.starts[first], end = t.starts[first + n];
    t.token.assign(text + begin, end - begin);
    for (char& c : t.token) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return xToken(ctx, 0, t.token.data(), static_cast<int>(t.token.size()), static_cast<int>(begin),
                  static_cast<int>(end));
}

int Tokenize(Fts5Tokenizer* handle, void* ctx, int flags, const char* text, int size,
             TokenCallback xToken) {
    CNgramTokenizer& t = *reinterpret_cast<CNgramTokenizer*>(handle);
    if (size <= 0) return SQLITE_OK;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::size_t total = static_cast<std::size_t>(size);
    t.starts.clear();
    t.keys.clear();
    for (std::size_t at = 0; at < total;) {
        const Character c = NextCharacter(bytes + at, total - at);
        t.starts.push_back(static_cast<std::uint32_t>(at));
        t.keys.push_back(c.nKey);
        at += c.nBytes;
    }
    t.starts.push_back(static_cast<std::uint32_t>(total));
    const std::size_t n = t.keys.size();

    if ((flags & FTS5_TOKENIZE_DOCUMENT) == 0) {
        // A query term (or prefix): up to three characters are one token; longer ones their
        // trigrams.
        if (n <= 3) return Give(t, text, 0, n, ctx, xToken);
        for (std::size_t i = 0; i + 3 <= n; ++i) {
            const int rc = Give(t, text, i, 3, ctx, xToken);
            if (rc != SQLITE_OK) return rc;
        }
        return SQLITE_OK;
    }
    // A document: each distinct trigram once, then its last two characters and its last one,
    // so that every character begins a token and a query of one or two characters is a
    // prefix query. Keys fit: three keys of 21 bits each.
    t.seen.Clear();
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        const std::uint64_t key =
            (std::uint64_t{t.keys[i]} << 42) | (std::uint64_t{t.keys[i + 1]} << 21) | t.keys[i + 2];
        if (!t.seen.Insert(key)) continue;
        const int rc = Give(t, text, i, 3, ctx, xToken);
        if (rc != SQLITE_OK) return rc;
    }
    for (std::size_t len = 2; len >= 1; --len) {
        if (n < len) continue;
        const int rc = Give(t, text, n - len, len, ctx, xToken);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
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
