#include "tavrin/shell/sql_complete.h"

#include <cstring>

namespace shell {

namespace {

// Bytes of an unquoted word: letters, digits, '_', '$' and every byte from 0x80.
bool IsWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\r' || c == '\t' || c == '\n' || c == '\f';
}

}  // namespace

// States: 0 nothing yet, 1 after a statement's ';', 2 inside a statement, 3 after EXPLAIN,
// 4 after CREATE (TEMP), 5 inside a trigger, 6 after a ';' inside a trigger, 7 after its END.
const std::uint8_t CSqlCompleteness::kTransitions[8][8] = {
    // SEMI SPACE OTHER EXPLAIN CREATE TEMP TRIGGER END
    {1, 0, 2, 3, 4, 2, 2, 2},  // 0
    {1, 1, 2, 3, 4, 2, 2, 2},  // 1
    {1, 2, 2, 2, 2, 2, 2, 2},  // 2
    {1, 3, 3, 2, 4, 2, 2, 2},  // 3
    {1, 4, 2, 2, 2, 4, 5, 2},  // 4
    {6, 5, 5, 5, 5, 5, 5, 5},  // 5
    {6, 6, 5, 5, 5, 5, 5, 7},  // 6
    {1, 7, 5, 5, 5, 5, 5, 5},  // 7
};

int CSqlCompleteness::WordToken() const {
    const char* w = m_aWord;
    switch (m_nWordLength) {
        case 3:
            return std::memcmp(w, "end", 3) == 0 ? kEnd : kOther;
        case 4:
            return std::memcmp(w, "temp", 4) == 0 ? kTemp : kOther;
        case 6:
            return std::memcmp(w, "create", 6) == 0 ? kCreate : kOther;
        case 7:
            if (std::memcmp(w, "trigger", 7) == 0) return kTrigger;
            return std::memcmp(w, "explain", 7) == 0 ? kExplain : kOther;
        case 9:
            return std::memcmp(w, "temporary", 9) == 0 ? kTemp : kOther;
        default:
            return kOther;
    }
}

// A byte that starts a token (the lexer is between tokens).
void CSqlCompleteness::StartByte(unsigned char c) {
    if (c == ';') {
        Token(kSemi);
    } else if (IsSpace(c)) {
        Token(kSpace);
    } else if (c == '/') {
        m_eLex = ELex::kSlash;
    } else if (c == '-') {
        m_eLex = ELex::kDash;
    } else if (c == '[' || c == '`' || c == '"' || c == '\'') {
        m_eLex = ELex::kQuoted;
        m_cClose = c == '[' ? ']' : static_cast<char>(c);
    } else if (IsWordByte(c)) {
        m_eLex = ELex::kWord;
        m_nWordLength = 0;
        m_aWord[m_nWordLength++] = static_cast<char>(c | (c < 0x80 ? 0x20 : 0));
    } else {
        Token(kOther);
    }
}

void CSqlCompleteness::Feed(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size && !m_bEnded; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0) {
            m_bEnded = true;
            break;
        }
        switch (m_eLex) {
            case ELex::kNone:
                StartByte(c);
                break;
            case ELex::kSlash:
                m_eLex = ELex::kNone;
                if (c == '*') {
                    m_eLex = ELex::kBlockComment;
                    m_bStar = false;
                } else {
                    Token(kOther);
                    StartByte(c);
                }
                break;
            case ELex::kDash:
                m_eLex = ELex::kNone;
                if (c == '-') {
                    m_eLex = ELex::kLineComment;
                } else {
                    Token(kOther);
                    StartByte(c);
                }
                break;
            case ELex::kBlockComment:
                if (m_bStar && c == '/') {
                    m_eLex = ELex::kNone;
                    Token(kSpace);
                } else {
                    m_bStar = c == '*';
                }
                break;
            case ELex::kLineComment:
                if (c == '\n') {
                    m_eLex = ELex::kNone;
                    Token(kSpace);
                }
                break;
            case ELex::kQuoted:
                if (c == static_cast<unsigned char>(m_cClose)) {
                    m_eLex = ELex::kNone;
                    Token(kOther);
                }
                break;
            case ELex::kWord:
                if (IsWordByte(c)) {
                    // Only words of up to 9 bytes can be keywords; a longer one is kept as 10.
                    if (m_nWordLength < sizeof m_aWord) {
                        m_aWord[m_nWordLength] = static_cast<char>(c | (c < 0x80 ? 0x20 : 0));
                    }
                    if (m_nWordLength <= sizeof m_aWord) ++m_nWordLength;
                } else {
                    m_eLex = ELex::kNone;
                    Token(WordToken());
                    StartByte(c);
                }
                break;
        }
    }
}

bool CSqlCompleteness::Complete() const {
    switch (m_eLex) {
        case ELex::kNone:
        case ELex::kLineComment:  // a comment running to the end changes nothing
            return m_nState == 1;
        case ELex::kBlockComment:
        case ELex::kQuoted:
            return false;
        case ELex::kSlash:
        case ELex::kDash:
            return kTransitions[m_nState][kOther] == 1;
        case ELex::kWord:
            return kTransitions[m_nState][WordToken()] == 1;
    }
    return false;
}

}  // namespace shell
