#include "fit/off_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t chunkBytes = 1 << 20;
constexpr std::size_t longestLine = 3 * 24 + 3;  // three shortest doubles (at most 24 characters each) and blanks

// Formats into a buffer and hands it to `flush` whenever it is nearly full.
template <class Flush>
bool formatOff(const TriangleMesh& mesh, Flush flush) {
    std::vector<char> buffer(chunkBytes + 256);
    char* p = buffer.data();
    char* const limit = buffer.data() + chunkBytes;
    auto put = [&](std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    };
    auto number = [&](auto value) { p = std::to_chars(p, p + 32, value).ptr; };
    put("OFF\n");
    number(mesh.vertices.size());
    put(" ");
    number(mesh.triangles.size());
    put(" 0\n");
    for (const Vertex& v : mesh.vertices) {
        if (p > limit - longestLine) {
            if (!flush(std::string_view(buffer.data(), static_cast<std::size_t>(p - buffer.data())))) return false;
            p = buffer.data();
        }
        number(v.x);
        *p++ = ' ';
        number(v.y);
        *p++ = ' ';
        number(v.z);
        *p++ = '\n';
    }
    for (const Triangle& t : mesh.triangles) {
        if (p > limit - longestLine) {
            if (!flush(std::string_view(buffer.data(), static_cast<std::size_t>(p - buffer.data())))) return false;
            p = buffer.data();
        }
        put("3 ");
        number(t[0]);
        *p++ = ' ';
        number(t[1]);
        *p++ = ' ';
        number(t[2]);
        *p++ = '\n';
    }
    return flush(std::string_view(buffer.data(), static_cast<std::size_t>(p - buffer.data())));
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::string offText(const TriangleMesh& mesh) {
    std::string text;
    formatOff(mesh, [&](std::string_view chunk) {
        text += chunk;
        return true;
    });
    return text;
}

bool writeOff(const TriangleMesh& mesh, int fd) {
    return formatOff(mesh, [fd](std::string_view chunk) { return writeAll(fd, chunk); });
}

bool writeOffFile(const TriangleMesh& mesh, const std::string& path, std::string& error) {
    if (path == "-") {
        if (writeOff(mesh, STDOUT_FILENO)) return true;
        error = std::string("cannot write to standard output: ") + std::strerror(errno);
        return false;
    }
    // A device or a pipe (/dev/null, a FIFO) is written as it is: renaming
    // a file over it would replace it. A symbolic link is followed, so that
    // the file it names is replaced and the link stays.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            error = "cannot write it: " + std::string(std::strerror(EISDIR));
            return false;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        bool ok = fd >= 0 && writeOff(mesh, fd);
        int savedErrno = errno;
        if (fd >= 0 && ::close(fd) != 0 && ok) ok = false, savedErrno = errno;
        if (!ok) error = "cannot write it: " + std::string(std::strerror(savedErrno));
        return ok;
    }
    std::string target = path;
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) target = resolved;
    }
    // Beside the output, so that the rename stays on one file system and
    // replaces the file in one step.
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot create a file beside it: " + std::string(std::strerror(errno));
        return false;
    }
    // mkstemp makes the file private; the output gets the permissions any new
    // file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeOff(mesh, fd);
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    if (ok) savedErrno = errno;
    ::unlink(temporary.c_str());
    error = "cannot write it: " + std::string(std::strerror(savedErrno));
    return false;
}
