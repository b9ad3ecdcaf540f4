#include "fit/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Appends what `fd` holds until its end; false on a read error, or when more
// than `limit` bytes in all would be needed (then `tooLong` is set).
bool readToEnd(int fd, WholeFile& file, std::size_t capacity, std::size_t limit, bool& tooLong, std::string& error) {
    for (;;) {
        if (file.size == capacity) {
            if (capacity >= limit) {
                tooLong = true;
                return false;
            }
            const std::size_t bigger = capacity < limit / 2 ? 2 * capacity : limit;
            char* grown = static_cast<char*>(std::realloc(file.data.get(), bigger));
            if (!grown) {
                error = "not enough memory to read the file";
                return false;
            }
            (void)file.data.release();
            file.data.reset(grown);
            capacity = bigger;
        }
        const ssize_t n = ::read(fd, file.data.get() + file.size, capacity - file.size);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        file.size += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool readWholeFile(const std::string& path, WholeFile& file, std::string& error) {
    file = WholeFile{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    const FdCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        error = std::string("cannot open: ") + std::strerror(S_ISDIR(info.st_mode) ? EISDIR : errno);
        return false;
    }
    // A regular file: its size, and one byte more to see whether it grew.
    const bool regular = S_ISREG(info.st_mode);
    const std::size_t first = regular ? static_cast<std::size_t>(info.st_size) + 1 : std::size_t{1} << 16;
    file.data.reset(static_cast<char*>(std::malloc(first)));
    if (!file.data) {
        error = "not enough memory to read the file";
        return false;
    }
    bool tooLong = false;
    const std::size_t limit = regular ? SIZE_MAX / 2 : maxStreamBytes;
    if (readToEnd(fd, file, first, limit, tooLong, error)) return true;
    if (tooLong) error = "expected a stream of at most " + std::to_string(maxStreamBytes >> 20) + " MiB, found more";
    return false;
}
