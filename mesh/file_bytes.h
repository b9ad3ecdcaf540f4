// Opening a mesh file, and reading its bytes: the one place that calls
// read(2), for both OFF readers.
#pragma once

#include <cstddef>
#include <string_view>

#include "mesh/table.h"

// An open mesh file; closed when it goes.
struct MeshFile {
    int fd = -1;
    bool regular = false;  // false: a pipe, FIFO or character device, read as a stream
    MeshFile() = default;
    MeshFile(const MeshFile&) = delete;
    MeshFile& operator=(const MeshFile&) = delete;
    ~MeshFile();
};

// False, with errno saying why (EISDIR for a directory), when `path` cannot
// be opened for reading or names a directory.
bool openMeshFile(const char* path, MeshFile& file);

// One read(2) of at most `capacity` bytes, tried again when a signal
// interrupts it: what the stream has ready, 0 at its end, -1 on an error.
long long readSome(int fd, char* buffer, std::size_t capacity);

// Reads until the end of the file or until `capacity` is full: the bytes
// read, or -1 on an error.
long long readFull(int fd, char* buffer, std::size_t capacity);

// A file's bytes, or the first part of them, in one allocation.
struct FileBytes {
    Table<char> data;
    std::size_t size = 0;
    std::string_view text() const { return {data.get(), size}; }
};

enum class ReadStatus {
    ok,
    cannotRead,
    outOfMemory,
    grew,  // the file is longer than when it was opened: read it as a stream, from the start
};

// Reads a regular file with one allocation of its size, in large chunks, each
// checked for a NUL byte: the bytes end just after the first one, since no
// mesh goes on past it. So a sparse or zero-filled file costs one chunk.
//
// The file is copied, not mapped: mapping would save about a tenth of the
// load of a big mesh, but a file cut short by another process while mapped
// would end the viewer with SIGBUS instead of an error line.
ReadStatus readRegularFile(const MeshFile& file, FileBytes& bytes);
