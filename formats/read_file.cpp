#include "formats/read_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Appends what `fd` holds until its end, growing the buffer from `capacity`
// as needed; false on a read error, or when more than `limit` bytes in all
// would be needed (then `tooLong` is set).
bool readToEnd(int fd, FileBytes& bytes, std::size_t capacity, std::size_t limit, bool& tooLong, std::string& error) {
    for (;;) {
        if (bytes.size == capacity) {
            if (capacity >= limit) {
                tooLong = true;
                return false;
            }
            const std::size_t bigger = capacity < limit / 2 ? 2 * capacity : limit;
            char* grown = static_cast<char*>(std::realloc(bytes.data.get(), bigger));
            if (!grown) {
                error = "not enough memory to read the file";
                return false;
            }
            static_cast<void>(bytes.data.release());
            bytes.data.reset(grown);
            capacity = bigger;
        }
        const long long n = readFull(fd, bytes.data.get() + bytes.size, capacity - bytes.size);
        if (n < 0) {
            error = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        bytes.size += static_cast<std::size_t>(n);
        if (bytes.size < capacity) return true;  // the end came first
    }
}

}  // namespace

bool readWholeFile(const std::string& path, FileBytes& bytes, std::string& error) {
    bytes = FileBytes{};
    MeshFile file;
    if (!openMeshFile(path.c_str(), file)) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    // A regular file: its size, and one byte more to see whether it grew.
    std::size_t first = std::size_t{1} << 16;
    struct stat info {};
    if (file.regular && ::fstat(file.fd, &info) == 0) first = static_cast<std::size_t>(info.st_size) + 1;
    bytes.data.reset(static_cast<char*>(std::malloc(first)));
    if (!bytes.data) {
        error = "not enough memory to read the file";
        return false;
    }
    bool tooLong = false;
    const std::size_t limit = file.regular ? SIZE_MAX / 2 : maxStreamBytes;
    if (readToEnd(file.fd, bytes, first, limit, tooLong, error)) return true;
    if (tooLong) error = "expected a stream of at most " + std::to_string(maxStreamBytes >> 20) + " MiB, found more";
    return false;
}
