// The tokenizer of the session text index (session_index.h): the trigrams of a text (every
// substring of three characters), ASCII letters folded to lower case, each given to FTS5 once
// per entry, then the text's last two characters and its last one. Every character so begins
// a token: a query of one or two characters is a prefix query, one of three a token, and a
// longer one is found through the trigrams it contains (a superset of the entries holding
// it, which the search checks against the text itself).
//
// FTS5's own trigram tokenizer hands every position of the text to the index, repeats
// included, and cannot answer queries shorter than three characters.
//
// No Qt; a connection's tokenizer is used by that connection's thread only.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace session_index {

// Name of the tokenizer in the index's schema.
inline constexpr char kTokenizerName[] = "tavrin_ngram";

// Registers the tokenizer on db (the index database's connection, before its FTS5 table is
// used). False when FTS5 is not available.
bool RegisterNgramTokenizer(sqlite3* db);

// Characters of a UTF-8 text (a byte that does not begin a valid sequence counts as one).
std::size_t CountCharacters(std::string_view utf8);

// The FTS5 MATCH expression that finds every entry containing queryUtf8 (and maybe some
// that do not): the query as a prefix when it has one or two characters, as a token when it
// has three, else its distinct trigrams joined by AND (at most kMostTrigrams of them, spread over
// the query). Empty for an empty query.
inline constexpr std::size_t kMostTrigrams = 48;
std::string NgramMatchExpression(std::string_view queryUtf8);

}  // namespace session_index
