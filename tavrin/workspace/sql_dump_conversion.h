// Line-by-line rewrites that make a package's dumps loadable:
//  - SplitSqlDump turns the MySQL dump "sub_table_sms.sql" into table definitions SQLite
//    accepts ("mysql1.sql") and row statements ("mysql.sql");
//  - DoubleEscapedQuotes and StripEscapedQuotes turn backslash-escaped quotes of the
//    comma-separated scan and text-matrix dumps into the form .import reads.
//
// Files are read and written as bytes: the content of any 8-bit encoding (GBK, UTF-8) passes
// unchanged apart from the rewrites. A line ends at LF or CR LF; every written line end is
// CR LF, and a last line without a line end is written without one. Lines of any length are
// handled whole; one line at a time is held in memory.
//
// Failures print a GBK diagnostic on standard output ("读取sql文件失败%d\n" when the source
// cannot be opened or read, "创建sql文件失败%d\n" when an output cannot be created,
// "写入sql文件失败%d\n" when writing fails; %d is the errno value) and the function returns
// false. An output path naming the source itself is refused (nothing is truncated). When the
// source cannot be opened, no output is created. Callers may ignore the result.
//
// Each call works on its own files and may run on any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace workspace {

// Told, as a conversion reads its source, how many bytes of it are read so far. Answering
// false stops the conversion: its outputs are closed as they stand (incomplete) and it returns
// false without a message. Called on the converting thread.
using ConversionProgress = std::function<bool(std::uint64_t nBytesRead)>;

// Classifies each line of the dump by its first two bytes:
//   "CR"  (CREATE TABLE)         -> definitions, unchanged;
//   "  "  (column or key line)   -> definitions, every "AUTO_INCREMENT" removed, or, when
//                                   there is none, every "auto_increment";
//   "IN"  (INSERT)               -> row statements, each \' written as \'' (see below);
//   ") "  (end of a definition)  -> definitions, replaced by ");";
//   anything else                -> dropped.
// The row-statements file is created before the definitions file.
bool SplitSqlDump(const std::string& dumpPath, const std::string& rowStatementsPath,
                  const std::string& tableDefinitionsPath, const ConversionProgress& progress = {});

// Writes each line with every \" turned into "" (the doubled quote .import reads as one).
bool DoubleEscapedQuotes(const std::string& sourcePath, const std::string& destinationPath,
                         const ConversionProgress& progress = {});

// Writes each line with every \" removed and every \\ folded to one backslash; a backslash
// pairs with the byte after it, so "C:\\" keeps the quote that closes it.
bool StripEscapedQuotes(const std::string& sourcePath, const std::string& destinationPath,
                        const ConversionProgress& progress = {});

// The per-line rewrites, exposed for the fuzzers and tests. Each appends to out.
//
// In the three escape rewrites a backslash always pairs with the byte after it, so an escaped
// backslash (\\) never escapes the quote that follows it; escapes a rewrite does not change are
// kept as written, and a backslash at the very end of a line stays.
void AppendInsertRewrite(std::string_view line, std::string& out);         // \'  -> \''
void AppendDoubledQuotesRewrite(std::string_view line, std::string& out);  // \"  -> ""
void AppendStrippedQuotesRewrite(std::string_view line,
                                 std::string& out);  // \" dropped, \\ -> \ once
void AppendWithoutAutoIncrement(std::string_view line, std::string& out);

}  // namespace workspace
