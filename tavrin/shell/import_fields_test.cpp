// The one-pass cut of an .import line against the zero-terminated cut it stands in for.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tavrin/shell/import_fields.h"

namespace shell {

namespace {

struct SCut {
    int found = 0;
    int lineNumber = 0;
    std::vector<std::string> texts;
    bool operator==(const SCut& o) const {
        return found == o.found && lineNumber == o.lineNumber && texts == o.texts;
    }
};

SCut zeroTerminatedCut(std::string line, char separator, int nColumns) {
    SCut cut;
    std::vector<char*> fields(static_cast<size_t>(nColumns) + 1);
    std::size_t quotes = 0;
    for (char c : line) quotes += c == '"';
    cut.found = splitImportFields(line.data(), line.size(), quotes, std::string(1, separator),
                                  nColumns, fields.data(), &cut.lineNumber);
    for (int i = 0; i < cut.found && i < nColumns; ++i) {
        if (fields[i][0] == '"') unquoteField(fields[i]);
        cut.texts.emplace_back(fields[i]);
    }
    return cut;
}

SCut onePassCut(std::string& line, char separator, int nColumns) {
    SCut cut;
    std::vector<SImportField> texts(static_cast<size_t>(nColumns));
    cut.found = cutImportFields(line.data(), line.size(), separator, nColumns, texts.data(),
                                &cut.lineNumber);
    for (int i = 0; i < cut.found && i < nColumns; ++i) {
        cut.texts.emplace_back(texts[i].pText, texts[i].nLength);
    }
    return cut;
}

TEST(ImportFields, OnePassCutGivesTheTextsOfTheZeroTerminatedCut) {
    struct {
        const char* line;
        int nColumns;
        std::vector<std::string> texts;
    } cases[] = {
        {"a,b,c", 3, {"a", "b", "c"}},
        {"", 2, {""}},
        {",,", 3, {"", "", ""}},
        {"\"a,b\",\"\",\"\"\"\"", 3, {"a,b", "", "\""}},
        {"\"ab\"c\",x", 2, {"abc,x"}},     // the third quote opens again: one field
        {"x\"y\",p", 2, {"x\"y\"", "p"}},  // no quote first: quotes kept
        {"\"open,b", 2, {"open,b"}},       // a quote never closed holds the rest
        {"\"\"", 1, {""}},
        {"\"", 1, {""}},
        {"a,b,c,d", 2, {"a", "b"}},  // extra fields counted, not given
    };
    for (const auto& c : cases) {
        std::string line = c.line;
        SCut fast = onePassCut(line, ',', c.nColumns);
        EXPECT_EQ(fast.texts, c.texts) << c.line;
        EXPECT_EQ(fast, zeroTerminatedCut(c.line, ',', c.nColumns)) << c.line;
    }
}

TEST(ImportFields, RandomLinesCutAlikeAndZeroBytesAreLeftToTheOtherCut) {
    std::mt19937 random(20261209);
    const char alphabet[] = {',', '\t', '"', '"', '\n', 'a', 'b', '\0', '\\'};
    for (char separator : {',', '\t', '"', '\n'}) {
        for (int n = 0; n < 20000; ++n) {
            std::string line(random() % 70, 'x');
            for (char& c : line) c = alphabet[random() % sizeof alphabet];
            // Most lines without a zero byte, as real dumps are.
            if (random() % 4) {
                for (char& c : line) c = c ? c : 'z';
            }
            // As the line reader gives them: a line feed only where a quote is open.
            bool open = false;
            for (char& c : line) {
                if (c == '"') open = !open;
                if (c == '\n' && !open) c = 'n';
            }
            int nColumns = 1 + static_cast<int>(random() % 8);
            std::string before = line;
            SCut fast = onePassCut(line, separator, nColumns);
            if (before.find('\0') != std::string::npos) {
                ASSERT_EQ(fast.found, -1);
                ASSERT_EQ(fast.lineNumber, 0);
                ASSERT_EQ(line, before);  // untouched for the other cut
                continue;
            }
            ASSERT_EQ(fast, zeroTerminatedCut(before, separator, nColumns))
                << "separator " << int(separator) << " line " << before;
        }
    }
}

}  // namespace

}  // namespace shell
