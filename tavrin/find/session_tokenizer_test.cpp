#include "tavrin/find/session_tokenizer.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace session_index {

namespace {

using session_index::CountCharacters;
using session_index::NgramMatchExpression;

TEST(NgramMatch, ShortQueriesArePrefixesOrOneToken) {
    EXPECT_EQ(NgramMatchExpression(""), "");
    EXPECT_EQ(NgramMatchExpression("a"), "\"a\" *");
    EXPECT_EQ(NgramMatchExpression("王五"), "\"王五\" *");
    EXPECT_EQ(NgramMatchExpression("abc"), "\"abc\"");
    // FTS5 syntax in the query is only text.
    EXPECT_EQ(NgramMatchExpression("\"*"), "\"\"\"*\" *");
}

TEST(NgramMatch, LongerQueriesAreTheirDistinctFoldedTrigrams) {
    EXPECT_EQ(NgramMatchExpression("AbcD"), "\"abc\" AND \"bcd\"");
    EXPECT_EQ(NgramMatchExpression("aaaaa"), "\"aaa\"");
    EXPECT_EQ(NgramMatchExpression("a\"bc"), "\"a\"\"b\" AND \"\"\"bc\"");
    EXPECT_EQ(NgramMatchExpression("数据库服务器"),
              "\"数据库\" AND \"据库服\" AND \"库服务\" AND \"服务器\"");
    // A long query is looked up by some of its trigrams, the first and the last among them.
    std::string query;
    for (int i = 0; i < 200; ++i) query += static_cast<char>('!' + i % 90);
    const std::string expression = NgramMatchExpression(query);
    std::size_t terms = 1;
    for (std::size_t at = expression.find(" AND "); at != std::string::npos;
         at = expression.find(" AND ", at + 1))
        ++terms;
    EXPECT_EQ(terms, session_index::kMostTrigrams);
    EXPECT_EQ(expression.substr(0, 6), "\"!\"\"#\"");
}

TEST(NgramMatch, CharactersAreCountedLeniently) {
    EXPECT_EQ(CountCharacters("数据a"), 3u);
    EXPECT_EQ(CountCharacters("a\xFF\xE6\x95"), 4u);  // stray bytes, a cut-off sequence
    EXPECT_EQ(CountCharacters(""), 0u);
}

// A token as the index receives it: its bytes and where it lies in the text.
struct Token {
    std::string bytes;
    int begin, end;
    bool operator==(const Token& o) const {
        return bytes == o.bytes && begin == o.begin && end == o.end;
    }
};

// The tokenizer as FTS5 finds it on a connection, giving a document's tokens.
class RegisteredTokenizer {
  public:
    RegisteredTokenizer() {
        sqlite3_open(":memory:", &m_db);
        EXPECT_TRUE(RegisterNgramTokenizer(m_db));
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT fts5(?1)", -1, &st, nullptr);
        sqlite3_bind_pointer(st, 1, &m_api, "fts5_api_ptr", nullptr);
        sqlite3_step(st);
        sqlite3_finalize(st);
        void* user = nullptr;
        EXPECT_EQ(m_api->xFindTokenizer(m_api, kTokenizerName, &user, &m_methods), SQLITE_OK);
        EXPECT_EQ(m_methods.xCreate(user, nullptr, 0, &m_tokenizer), SQLITE_OK);
    }
    ~RegisteredTokenizer() {
        m_methods.xDelete(m_tokenizer);
        sqlite3_close(m_db);
    }
    std::vector<Token> Document(const std::string& text) {
        std::vector<Token> tokens;
        m_methods.xTokenize(m_tokenizer, &tokens, FTS5_TOKENIZE_DOCUMENT, text.data(),
                            static_cast<int>(text.size()),
                            [](void* ctx, int, const char* token, int n, int begin, int end) {
                                static_cast<std::vector<Token>*>(ctx)->push_back(
                                    {std::string(token, n), begin, end});
                                return SQLITE_OK;
                            });
        return tokens;
    }

  private:
    sqlite3* m_db = nullptr;
    fts5_api* m_api = nullptr;
    fts5_tokenizer m_methods{};
    Fts5Tokenizer* m_tokenizer = nullptr;
};

// The document's tokens by their definition: the text's characters (a valid UTF-8 sequence,
// or a single byte that begins none), each distinct trigram of them (ASCII case folded) in
// order of its first place, then the last two characters and the last one.
std::vector<Token> ReferenceTokens(const std::string& text) {
    std::vector<int> starts;
    for (std::size_t at = 0; at < text.size();) {
        starts.push_back(static_cast<int>(at));
        const auto c = static_cast<unsigned char>(text[at]);
        std::size_t need = c >= 0xF0 && c < 0xF8   ? 3
                           : c >= 0xE0 && c < 0xF0 ? 2
                           : c >= 0xC0 && c < 0xE0 ? 1
                                                   : 0;
        std::uint32_t code = need == 3 ? c & 7u : need == 2 ? c & 15u : c & 31u;
        bool valid = need > 0 && at + need < text.size();
        for (std::size_t i = 1; valid && i <= need; ++i) {
            valid = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
            code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && code >= least[need] && code <= 0x10FFFF;
        at += valid ? need + 1 : 1;
    }
    starts.push_back(static_cast<int>(text.size()));
    auto token = [&](std::size_t first, std::size_t n) {
        std::string bytes = text.substr(starts[first], starts[first + n] - starts[first]);
        for (char& c : bytes) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
        return Token{bytes, starts[first], starts[first + n]};
    };
    const std::size_t n = starts.size() - 1;
    std::vector<Token> tokens;
    std::set<std::string> seen;
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        Token t = token(i, 3);
        if (seen.insert(t.bytes).second) tokens.push_back(t);
    }
    if (n >= 2) tokens.push_back(token(n - 2, 2));
    if (n >= 1) tokens.push_back(token(n - 1, 1));
    return tokens;
}

TEST(NgramDocument, TokensAreTheDistinctFoldedTrigramsThenTheLastCharacters) {
    RegisteredTokenizer tokenizer;
    EXPECT_TRUE(tokenizer.Document("").empty());
    EXPECT_EQ(tokenizer.Document("A"), (std::vector<Token>{{"a", 0, 1}}));
    EXPECT_EQ(tokenizer.Document("\xE7\x8E\x8B!"),
              (std::vector<Token>{{"\xE7\x8E\x8B!", 0, 4}, {"!", 3, 4}}));
    EXPECT_EQ(tokenizer.Document("abcAbCab"),
              (std::vector<Token>{
                  {"abc", 0, 3}, {"bca", 1, 4}, {"cab", 2, 5}, {"ab", 6, 8}, {"b", 7, 8}}));

    // Random texts over pieces that cross every path of the decoding: ASCII of both cases,
    // two-, three- and four-byte sequences, stray and cut-off bytes, overlong and too-large
    // sequences, few letters (repeats) and many (texts long enough to grow the set of seen
    // trigrams several times).
    const std::vector<std::string> pieces = {"a",
                                             "B",
                                             "b",
                                             "Z",
                                             "{",
                                             " ",
                                             "\n",
                                             "\xC3\xA9",
                                             "\xE7\x8E\x8B",
                                             "\xE4\xBA\x94",
                                             "\xF0\x9F\x98\x80",
                                             "\xFF",
                                             "\x80",
                                             "\xE6\x95",
                                             "\xC0\xAF",
                                             "\xF4\x90\x80\x80",
                                             "\xED\xA0\x80"};
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        const std::size_t alphabet = round % 2 ? pieces.size() : 3;
        const int length = round < 300 ? static_cast<int>(rng() % 40) : 20000;
        std::string text;
        for (int i = 0; i < length; ++i) {
            if (round >= 300 && i % 3 == 0) {
                text += static_cast<char>('!' + rng() % 90);  // many distinct trigrams
            } else {
                text += pieces[rng() % alphabet];
            }
        }
        ASSERT_EQ(tokenizer.Document(text), ReferenceTokens(text)) << "round " << round;
    }
}

}  // namespace

}  // namespace session_index
