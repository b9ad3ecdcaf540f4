// The bytes of a mesh file, whole, for the readers of tarvexgl-fit.
//
// The viewer's own reading stops at the first NUL byte, since no text mesh
// goes on past one; binary OFF is full of them, so here the whole file is
// read. A regular file takes one allocation of its size. A pipe or device
// (/dev/stdin) is read to its end, up to maxStreamBytes, so that an endless
// stream (/dev/zero) ends in a message rather than in all the memory there is.
#pragma once

#include <cstddef>
#include <string>

#include "mesh/file_bytes.h"

inline constexpr std::size_t maxStreamBytes = std::size_t{1} << 30;

// False, with the reason in `error` (no path, no line break), when the file
// cannot be opened or read, is a directory, does not fit in memory, or is a
// stream longer than maxStreamBytes.
bool readWholeFile(const std::string& path, FileBytes& bytes, std::string& error);
