#include "shot/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string cannotWrite(int errorNumber) { return "cannot write it: " + std::string(std::strerror(errorNumber)); }

}  // namespace

bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error) {
    if (path == "-") {
        if (writeAll(STDOUT_FILENO, bytes)) return true;
        error = std::string("cannot write to standard output: ") + std::strerror(errno);
        return false;
    }
    // A device or a pipe (/dev/null, a FIFO) is written as it is: renaming
    // a file over it would replace it. A symbolic link is followed, so that
    // the file it names is replaced and the link stays.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            error = cannotWrite(EISDIR);
            return false;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        bool ok = fd >= 0 && writeAll(fd, bytes);
        int savedErrno = errno;
        if (fd >= 0 && ::close(fd) != 0 && ok) ok = false, savedErrno = errno;
        if (!ok) error = cannotWrite(savedErrno);
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
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, bytes);
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    if (ok) savedErrno = errno;
    ::unlink(temporary.c_str());
    error = cannotWrite(savedErrno);
    return false;
}
