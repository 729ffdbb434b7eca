// Whether collected SQL text ends a statement, told as the text grows: the answer
// sqlite3_complete would give for the whole text, at a cost proportional to what was added.
// A script whose early quote never closes would otherwise be rescanned from its start at
// every later line with a ';'.
#pragma once

#include <cstddef>
#include <cstdint>

namespace shell {

class CSqlCompleteness {
  public:
    // Adds size bytes to the end of the text. Bytes after a zero byte are ignored, as a
    // zero-terminated text ends there.
    void Feed(const char* text, std::size_t size);
    // Starts again with an empty text.
    void Reset() { *this = CSqlCompleteness(); }

    // sqlite3_complete of the text so far: it ends with a ';' that closes a statement (a
    // CREATE TRIGGER needs its END;), outside any quote, bracket or comment.
    bool Complete() const;
    // Complete() of the text with c added, the text itself unchanged.
    bool CompleteWith(char c) const {
        CSqlCompleteness copy = *this;
        copy.Feed(&c, 1);
        return copy.Complete();
    }

  private:
    enum class ELex : std::uint8_t {
        kNone,          // between tokens
        kSlash,         // after a '/' that may open a comment
        kDash,          // after a '-' that may open a comment
        kBlockComment,  // inside /* */
        kLineComment,   // inside -- up to the line feed
        kQuoted,        // inside '...', "...", `...` or [...]
        kWord,          // inside an unquoted word
    };

    void Token(int token) { m_nState = kTransitions[m_nState][token]; }
    int WordToken() const;
    void StartByte(unsigned char c);

    // Token kinds and the state machine of sqlite3_complete.
    static constexpr int kSemi = 0, kSpace = 1, kOther = 2, kExplain = 3, kCreate = 4, kTemp = 5,
                         kTrigger = 6, kEnd = 7;
    static const std::uint8_t kTransitions[8][8];

    std::uint8_t m_nState = 0;
    ELex m_eLex = ELex::kNone;
    char m_cClose = 0;      // the byte that ends the quoted stretch
    bool m_bStar = false;   // inside a block comment, the last byte was '*'
    bool m_bEnded = false;  // a zero byte was fed
    char m_aWord[10] = {};  // the first bytes of the current word, lower case
    std::size_t m_nWordLength = 0;
};

}  // namespace shell
