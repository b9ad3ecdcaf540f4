#include "mesh/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mesh/workers.h"

MeshFile::~MeshFile() {
    if (fd >= 0) ::close(fd);
}

bool openMeshFile(const char* path, MeshFile& file) {
    file.fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return false;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    file.regular = S_ISREG(info.st_mode);
    return true;
}

long long readSome(int fd, char* buffer, std::size_t capacity) {
    ssize_t n = 0;
    do n = ::read(fd, buffer, capacity);
    while (n < 0 && errno == EINTR);
    return n;
}

long long readFull(int fd, char* buffer, std::size_t capacity) {
    std::size_t done = 0;
    while (done < capacity) {
        const long long n = readSome(fd, buffer + done, capacity - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

namespace {

// A file is read a chunk at a time, each looked through for a NUL byte. The
// first chunk is small and has a buffer of its own: a file that is all NUL
// bytes after its header costs that much memory, not its size.
constexpr std::size_t firstChunkBytes = std::size_t{64} << 10;
constexpr std::size_t chunkBytes = std::size_t{4} << 20;

}  // namespace

ReadStatus readRegularFile(const MeshFile& file, FileBytes& bytes) {
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return ReadStatus::cannotRead;
    // One spare byte tells whether the file grew since it was opened.
    const std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
    std::size_t held = std::min(capacity, firstChunkBytes);
    Table<char> buffer = allocateTable<char>(static_cast<std::int64_t>(held));
    if (!buffer) return ReadStatus::outOfMemory;
    std::size_t size = 0;
    for (;;) {
        const std::size_t wanted = std::min(held - size, chunkBytes);
        const long long n = readFull(file.fd, buffer.get() + size, wanted);
        if (n < 0) return ReadStatus::cannotRead;
        const auto got = static_cast<std::size_t>(n);
        if (const void* nul = std::memchr(buffer.get() + size, '\0', got)) {
            size = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer.get()) + 1;
            break;
        }
        size += got;
        if (size == capacity) return ReadStatus::grew;
        if (got < wanted) break;  // end of file
        if (size == held) {
            Table<char> whole = allocateTable<char>(static_cast<std::int64_t>(capacity));
            if (!whole) return ReadStatus::outOfMemory;
            std::memcpy(whole.get(), buffer.get(), size);
            buffer = std::move(whole);
            held = capacity;
        }
    }
    bytes.data = std::move(buffer);
    bytes.size = size;
    return ReadStatus::ok;
}
