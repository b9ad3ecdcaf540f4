// The picture files tarvexgl-shot writes.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to `path`, or to standard output when `path` is "-". A
// file is written whole or not at all: the bytes go to a new temporary file
// beside it, which is renamed over `path` (over the file a symbolic link
// names, keeping the link) only once every byte is written and the file
// closed. A device or a FIFO is written directly. False with a one-line
// reason (no path, no line break) in `error`.
bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error);
