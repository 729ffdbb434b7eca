// Writing result rows in the shell's output modes.
#pragma once

#include <cstdio>

struct ShellState;

namespace shell {

// Row handler of runSql: writes one row (or, with a null values list, only what a header
// needs) to state's output in state's mode. nColumns entries in values (null entries are SQL
// NULL), names and types (SQLITE_INTEGER ...; types may be null). Headers are written for the
// first row of a statement (m_nRowCount 0) when m_bHeaders is set. Returns 0.
int formatRow(ShellState* state, int nColumns, char** values, char** names, int* types);

// Writes text as an SQL string literal: in apostrophes, each apostrophe doubled.
void writeQuotedString(std::FILE* out, const char* text);

// Writes text as a backslash-escaped string in double quotes (the tcl mode's form).
void writeCString(std::FILE* out, const char* text);

// Writes bytes as an SQL blob literal X'..' with two lower-case hex digits per byte.
void writeBlobLiteral(std::FILE* out, const void* data, int size);

// True when text reads as a number: optional sign, digits, optional fraction, optional
// exponent.
bool looksLikeNumber(const char* text);

}  // namespace shell
