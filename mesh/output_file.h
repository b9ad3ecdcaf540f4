// A file written whole or not at all, for the programs that write one
// (tarvexgl-fit's fitted meshes, tarvexgl-shot's pictures).
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Calls write(fd) to fill `path`, or standard output when `path` is "-";
// write returns false, with errno set, when it fails. A file is written whole
// or not at all: write fills a new temporary file beside it (its name and
// seven characters more, the name shortened where that would be too long),
// which is renamed over `path` only once write has succeeded and the file is
// closed. A symbolic link is written through: the file it names (after every
// link on the way) is replaced, or made if it does not exist yet, and the link
// stays. A device or a FIFO is written directly. False with a one-line reason
// (no path, no line break) in `error`.
bool writeOutputFile(const std::string& path, const std::function<bool(int fd)>& write, std::string& error);

// Every byte of `bytes` to `fd`, whatever the pieces write(2) takes. False,
// with errno set, when a write fails.
bool writeAll(int fd, std::string_view bytes);
