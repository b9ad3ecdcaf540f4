#include "mesh/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Reads until end of file or until `capacity` is full; -1 on a read error.
long long readInto(int fd, char* buffer, std::size_t capacity) {
    std::size_t done = 0;
    while (done < capacity) {
        const ssize_t n = ::read(fd, buffer + done, capacity - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

using Bytes = std::unique_ptr<char[]>;

ReadStatus readStream(int fd, FileBytes& bytes) {
    std::size_t capacity = 1 << 16;
    Bytes buffer(new (std::nothrow) char[capacity]);
    if (!buffer) return ReadStatus::outOfMemory;
    std::size_t size = 0;
    for (;;) {
        const long long n = readInto(fd, buffer.get() + size, capacity - size);
        if (n < 0) return ReadStatus::cannotOpen;
        const bool sawNul = std::memchr(buffer.get() + size, '\0', static_cast<std::size_t>(n)) != nullptr;
        size += static_cast<std::size_t>(n);
        if (size < capacity || sawNul) break;
        Bytes bigger(new (std::nothrow) char[capacity * 2]);
        if (!bigger) return ReadStatus::outOfMemory;
        std::memcpy(bigger.get(), buffer.get(), size);
        buffer = std::move(bigger);
        capacity *= 2;
    }
    bytes.data = std::move(buffer);
    bytes.size = size;
    return ReadStatus::ok;
}

}  // namespace

ReadStatus readFileBytes(const char* path, FileBytes& bytes) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadStatus::cannotOpen;
    const FdCloser closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return ReadStatus::cannotOpen;
    if (!S_ISREG(info.st_mode)) return readStream(fd, bytes);

    const auto expected = static_cast<std::size_t>(info.st_size);
    // One spare byte tells whether the file grew since fstat; if it did, the
    // rest is read as a stream would be.
    Bytes buffer(new (std::nothrow) char[expected + 1]);
    if (!buffer) return ReadStatus::outOfMemory;
    const long long n = readInto(fd, buffer.get(), expected + 1);
    if (n < 0) return ReadStatus::cannotOpen;
    if (static_cast<std::size_t>(n) <= expected) {
        bytes.data = std::move(buffer);
        bytes.size = static_cast<std::size_t>(n);
        return ReadStatus::ok;
    }
    if (::lseek(fd, 0, SEEK_SET) != 0) return ReadStatus::cannotOpen;
    return readStream(fd, bytes);
}
