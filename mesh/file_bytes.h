// Reading a whole file into memory in one go.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view text() const { return {data.get(), size}; }
};

enum class ReadStatus { ok, cannotOpen, outOfMemory };

// cannotOpen when the file cannot be opened or read (a directory counts as
// unopenable). A regular file is read with one allocation of its size. Pipes
// and other streams are read until their end, except that a stream holding a
// NUL byte is cut short there, since such a stream cannot be a mesh and may
// never end (/dev/zero).
//
// The file is copied, not mapped: mapping would save about a tenth of the
// load of a big mesh, but a file cut short by another process while mapped
// would end the viewer with SIGBUS instead of an error line.
ReadStatus readFileBytes(const char* path, FileBytes& bytes);
