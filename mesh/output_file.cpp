#include "mesh/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

std::string cannotWrite(int errorNumber) { return "cannot write it: " + std::string(std::strerror(errorNumber)); }

// The file that `path` names once every symbolic link on the way is
// followed, whether that file exists yet or not (a dangling link names the
// file to create). A link is read relative to the folder it is in.
bool followLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        if (hops == 40) {  // as the kernel counts
            error = cannotWrite(ELOOP);
            return false;
        }
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            error = "cannot follow the link: " + std::string(std::strerror(n < 0 ? errno : ENAMETOOLONG));
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        const std::size_t slash = target.rfind('/');
        target = link.starts_with('/') || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
}

// mkstemp's template for a file beside `target`: its name with ".XXXXXX"
// added, the name shortened where that would be longer than a name can be.
std::string temporaryBeside(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::size_t room = (longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX) - 7;
    if (name.size() > room) name.resize(room);
    return (slash == std::string::npos ? std::string() : folder) + name + ".XXXXXX";
}

}  // namespace

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

bool writeOutputFile(const std::string& path, const std::function<bool(int fd)>& write, std::string& error) {
    if (path == "-") {
        if (write(STDOUT_FILENO)) return true;
        error = std::string("cannot write to standard output: ") + std::strerror(errno);
        return false;
    }
    // A device or a pipe (/dev/null, a FIFO) is written as it is: renaming
    // a file over it would replace it.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            error = cannotWrite(EISDIR);
            return false;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        bool ok = fd >= 0 && write(fd);
        int savedErrno = errno;
        if (fd >= 0 && ::close(fd) != 0 && ok) ok = false, savedErrno = errno;
        if (!ok) error = cannotWrite(savedErrno);
        return ok;
    }
    std::string target;
    if (!followLinks(path, target, error)) return false;
    // Beside the output, so that the rename stays on one file system and
    // replaces the file in one step.
    std::string temporary = temporaryBeside(target);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot create a file beside it: " + std::string(std::strerror(errno));
        return false;
    }
    // mkstemp makes the file private; the output gets the permissions any new
    // file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && write(fd);
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
