// Cutting one line of a delimited data file into the fields of .import.
#pragma once

#include <cstddef>
#include <string_view>

namespace shell {

// Cuts line (length bytes, followed by a terminating zero) in place at every occurrence of
// separator (not empty) that stands outside a double-quoted stretch; a '"' anywhere flips the
// quote state. fields receives the starts of the first nColumns fields (each ended by a zero
// written over its separator); separators after those still count but start no new field.
// Each line feed inside quotes adds 1 to *lineNumber. quoteCount is the number of '"' in the
// line (0 allows a faster cut). Returns the number of fields found (separators + 1).
int splitImportFields(char* line, std::size_t length, std::size_t quoteCount,
                      std::string_view separator, int nColumns, char** fields, int* lineNumber);

// One field of a cut line: its text, not zero-terminated.
struct SImportField {
    char* pText = nullptr;
    std::size_t nLength = 0;
};

// What splitImportFields followed by unquoteField of each field that begins with '"' gives,
// in one pass, for a one-byte separator: fields receives the first nColumns texts, already
// unquoted (the unquoting is done in place inside the field; no other byte of the line
// changes). Line feeds add to *lineNumber as there. Returns the number of fields found, or -1
// when the line holds a zero byte: nothing is changed then, and the zero-terminated cut must
// be used, because there a field's text ends at its first zero byte.
int cutImportFields(char* line, std::size_t length, char separator, int nColumns,
                    SImportField* fields, int* lineNumber);

// Removes the quoting of a field that begins with '"', in place: each '"' is dropped and the
// byte after it kept as it is, so "" inside stands for one quote; a '"' that ends the field is
// dropped.
void unquoteField(char* field);

}  // namespace shell
