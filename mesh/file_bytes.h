// Reading a whole file into memory in one go.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

// Releases what readFileBytes took: a mapping of the file, or a heap copy.
struct ReleaseBytes {
    std::size_t mappedBytes = 0;  // 0: the bytes are a heap copy
    void operator()(char* bytes) const;
};

struct FileBytes {
    std::unique_ptr<char[], ReleaseBytes> data;
    std::size_t size = 0;
    std::string_view text() const { return {data.get(), size}; }
};

enum class ReadStatus { ok, cannotOpen, outOfMemory };

// cannotOpen when the file cannot be opened or read (a directory counts as
// unopenable). A regular file is mapped, read-only, as long as fstat says it
// is, with its pages brought in at once; when it cannot be mapped it is read
// with one allocation of its size. Pipes and other streams are read until
// their end, except that a stream holding a NUL byte is cut short there,
// since such a stream cannot be a mesh and may never end (/dev/zero).
//
// Mapping saves copying the file and faulting in a buffer for it, a tenth of
// the load of a big mesh. The price: a file cut short by another process
// while it is mapped ends this one with SIGBUS, as it would any program that
// maps its input.
ReadStatus readFileBytes(const char* path, FileBytes& bytes);
