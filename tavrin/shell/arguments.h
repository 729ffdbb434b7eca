// Splitting and decoding the arguments of a dot-command line.
#pragma once

namespace shell {

inline constexpr int kMaxArguments = 50;

// Splits text (a dot-command line after its dot) in place into at most kMaxArguments
// arguments, stored as pointers into text in azArg. Arguments are separated by whitespace; an
// argument that opens with ' or " runs to the same quote character or the end of the text.
// Unquoted and double-quoted arguments go through resolveEscapes, apostrophe-quoted ones do
// not. Text after the last argument that fits is ignored. Returns the argument count.
int splitArguments(char* text, char* azArg[kMaxArguments]);

// Rewrites text in place, turning \n, \t, \r, \ followed by one to three octal digits
// (kept to 8 bits) and \ followed by any other character into one byte each. A backslash at
// the very end stays.
void resolveEscapes(char* text);

// Reads an on/off argument: decimal digits give their value, "on"/"yes" (any case) 1,
// "off"/"no" 0. Anything else writes "ERROR: Not a boolean value: \"%s\". Assuming \"no\".\n"
// to standard error and gives 0.
int parseBoolean(const char* text);

}  // namespace shell
