// How a message shows a token it found in a file: in quotes, and always on
// one line, whatever the file holds.
#pragma once

#include <string>
#include <string_view>

// Bytes that are not printable ASCII are escaped as \xNN; only the first 40
// bytes are shown, and a longer token ends in "...' (N bytes)".
std::string quoteToken(std::string_view token);

// The same without the length: for a token whose end was never read.
std::string quoteTokenStart(std::string_view token);
