#include "tavrin/browser/codepage_like.h"

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace browser {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Two characters are equal when their bytes are, a single-byte ASCII letter also in the
// other case.
bool SameChar(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 1) return FoldAscii(a[0]) == FoldAscii(b[0]);
    return a == b;
}

enum class TokenKind { kAny, kOne, kLiteral };
struct Token {
    TokenKind kind;
    std::string_view chars;  // the literal character (kLiteral only)
};

// The pattern as tokens; nothing when it ends in the escape character. Runs of '%' collapse.
std::optional<std::vector<Token>> Compile(CharScheme scheme, std::string_view pattern,
                                          std::optional<std::string_view> escape) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t n = CharLength(scheme, pattern.substr(i));
        const std::string_view ch = pattern.substr(i, n);
        i += n;
        if (escape && ch == *escape) {
            if (i >= pattern.size()) return std::nullopt;
            const std::size_t m = CharLength(scheme, pattern.substr(i));
            tokens.push_back({TokenKind::kLiteral, pattern.substr(i, m)});
            i += m;
        } else if (ch == "%") {
            if (tokens.empty() || tokens.back().kind != TokenKind::kAny)
                tokens.push_back({TokenKind::kAny, {}});
        } else if (ch == "_") {
            tokens.push_back({TokenKind::kOne, {}});
        } else {
            tokens.push_back({TokenKind::kLiteral, ch});
        }
    }
    return tokens;
}

// Greedy matching that backtracks to the last '%' only: enough for '%' and '_', and
// quadratic at worst.
bool MatchTokens(CharScheme scheme, const std::vector<Token>& tokens, std::string_view value) {
    const std::size_t nTokens = tokens.size();
    std::size_t t = 0, v = 0;
    std::size_t starToken = std::string_view::npos, starValue = 0;
    while (v < value.size()) {
        const std::size_t n = CharLength(scheme, value.substr(v));
        if (t < nTokens && tokens[t].kind == TokenKind::kAny) {
            starToken = ++t;
            starValue = v;
            continue;
        }
        if (t < nTokens &&
            (tokens[t].kind == TokenKind::kOne || SameChar(tokens[t].chars, value.substr(v, n)))) {
            ++t;
            v += n;
            continue;
        }
        if (starToken == std::string_view::npos) return false;
        t = starToken;
        starValue += CharLength(scheme, value.substr(starValue));
        v = starValue;
    }
    while (t < nTokens && tokens[t].kind == TokenKind::kAny) ++t;
    return t == nTokens;
}

std::string_view Text(sqlite3_value* value) {
    const unsigned char* text = sqlite3_value_text(value);
    if (!text) return std::string_view();
    return std::string_view(reinterpret_cast<const char*>(text),
                            static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

// The compiled pattern, kept by SQLite with the pattern argument while it stays the same,
// so a query over many rows splits its pattern once.
struct CompiledPattern {
    std::string text;
    std::optional<std::vector<Token>> tokens;
};

void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const CharScheme scheme =
        static_cast<CharScheme>(reinterpret_cast<std::intptr_t>(sqlite3_user_data(context)));
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL result
    }
    const std::string_view pattern = Text(argv[0]);
    const int limit =
        sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1);
    if (static_cast<long long>(pattern.size()) > limit) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    std::optional<std::string_view> escape;
    if (argc == 3) {
        escape = Text(argv[2]);
        if (escape->empty() || CharLength(scheme, *escape) != escape->size()) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    // The escape is part of what was compiled; only the two-argument form caches. Tokens
    // point into the object's own text, so it is never moved once compiled.
    const CompiledPattern* compiled =
        argc == 2 ? static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0)) : nullptr;
    std::unique_ptr<CompiledPattern> fresh;
    if (!compiled || compiled->text != pattern) {
        fresh = std::make_unique<CompiledPattern>();
        fresh->text = std::string(pattern);
        fresh->tokens = Compile(scheme, fresh->text, escape);
        compiled = fresh.get();
        if (argc == 2) {
            sqlite3_set_auxdata(context, 0, fresh.release(),
                                [](void* p) { delete static_cast<CompiledPattern*>(p); });
            // SQLite may drop it at once (out of memory): then compile for this row only.
            compiled = static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0));
            if (!compiled) {
                fresh = std::make_unique<CompiledPattern>();
                fresh->text = std::string(pattern);
                fresh->tokens = Compile(scheme, fresh->text, escape);
                compiled = fresh.get();
            }
        }
    }
    const bool match = compiled->tokens && MatchTokens(scheme, *compiled->tokens, Text(argv[1]));
    sqlite3_result_int(context, match ? 1 : 0);
}

}  // namespace

bool LikeMatch(CharScheme scheme, std::string_view pattern, std::string_view value,
               std::optional<std::string_view> escape) {
    const std::optional<std::vector<Token>> tokens = Compile(scheme, pattern, escape);
    return tokens && MatchTokens(scheme, *tokens, value);
}

int RegisterCodePageLike(sqlite3* db) {
    if (!db) return SQLITE_MISUSE;
    void* scheme = reinterpret_cast<void*>(
        static_cast<std::intptr_t>(SchemeOfCodePage(platform::AnsiCodePageName())));
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function(db, "like", 2, flags, scheme, &LikeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, flags, scheme, &LikeFunction, nullptr, nullptr);
    return rc;
}

}  // namespace browser
