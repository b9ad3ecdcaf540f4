// Token by token through the text of a mesh file, for the STL, PLY and OBJ
// readers: blanks separate tokens, and lines are counted only on the way to
// a message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TextScan {
    const char* begin;
    const char* p;
    const char* end;
};

inline TextScan scanOf(std::string_view text) { return {text.data(), text.data(), text.data() + text.size()}; }

// Space, tab, CR, vertical tab and form feed: all but the line break.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The next token on the current line, after blanks: empty at the end of the
// line (the line break is not taken) or of the file.
std::string_view tokenOnLine(TextScan& scan);

// The next token after blanks and line breaks: empty only at the end of the
// file.
std::string_view nextToken(TextScan& scan);

// Past the end of the current line.
void skipLine(TextScan& scan);

// The 1-based line that `at` is on; at the end of the file, the last line
// that holds anything.
long long lineAt(const TextScan& scan, const char* at);

// How a message shows what was found at `at` (the token there, quoted, or
// "end of line" / "end of file" / "a NUL byte").
std::string foundAt(const TextScan& scan, const char* at);

// Whether `token` equals `word` in any case of ASCII letters.
bool sameWord(std::string_view token, std::string_view word);
