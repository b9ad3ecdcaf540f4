#include "formats/isolated_import.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <exception>
#include <new>
#include <set>

#include "formats/assimp_import.h"
#include "mesh/output_file.h"
#include "process/error_line.h"

namespace {

// How the child ends: with the mesh in the memory file, with the library's
// reason in it, or out of memory. Anything else is a fault.
constexpr int childDone = 0, childRefused = 3, childOutOfMemory = 4;

constexpr char magic[8] = {'t', 'v', 'x', 'm', 'e', 's', 'h', '1'};
constexpr std::size_t headerBytes = sizeof magic + 3 * sizeof(std::uint64_t);
constexpr std::size_t longestMessage = 4096;

// The child's side.

bool writeAll(int fd, const void* data, std::size_t size) {
    return ::writeAll(fd, std::string_view(static_cast<const char*>(data), size));
}

bool writeMesh(int fd, const PolygonMesh& mesh) {
    const std::uint64_t counts[3] = {mesh.vertices.size(), mesh.faceCount(), mesh.corners.size()};
    return writeAll(fd, magic, sizeof magic) && writeAll(fd, counts, sizeof counts) &&
           writeAll(fd, mesh.vertices.data(), mesh.vertices.size() * sizeof(Vertex)) &&
           writeAll(fd, mesh.faceStart.data(), mesh.faceStart.size() * sizeof(std::int64_t)) &&
           writeAll(fd, mesh.corners.data(), mesh.corners.size() * sizeof(std::int32_t));
}

[[noreturn]] void outOfMemory() { ::_exit(childOutOfMemory); }

// The address space the child has mapped when it starts: the limit is
// counted from there (under the address sanitizer that is terabytes of
// reserved shadow memory).
std::uint64_t addressSpaceNow() {
    char text[64] = {};
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    return std::strtoull(text, nullptr, 10) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

void allowMoreAddressSpace(std::uint64_t bytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    limit.rlim_cur = limit.rlim_cur + bytes < limit.rlim_max ? limit.rlim_cur + bytes : limit.rlim_max;
    ::setrlimit(RLIMIT_AS, &limit);
}

void limitChild(const ImportLimits& limits) {
    rlimit memory{};
    ::getrlimit(RLIMIT_AS, &memory);
    const std::uint64_t wanted = addressSpaceNow() + limits.memoryBytes;
    if (memory.rlim_cur == RLIM_INFINITY || wanted < memory.rlim_cur) memory.rlim_cur = wanted;
    ::setrlimit(RLIMIT_AS, &memory);
    // Behind the parent's clock, in case the parent is stopped: the CPU
    // time the child may use.
    const rlimit cpu{static_cast<rlim_t>(limits.seconds) + 1, static_cast<rlim_t>(limits.seconds) + 2};
    ::setrlimit(RLIMIT_CPU, &cpu);
}

[[noreturn]] void runChild(const std::string& path, const ImportLimits& limits, int resultFd, pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // the child never outlives tarvexgl-fit
    if (::getppid() != parent) ::_exit(childRefused);
    // Nothing of the library's reaches the terminal or OUTPUT.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
    std::set_new_handler(outOfMemory);
    limitChild(limits);
    std::set<std::string> seen{path};
    const auto opened = [&seen](const char* file, std::uint64_t bytes) {
        if (seen.insert(file).second) allowMoreAddressSpace(16 * bytes);
    };
    PolygonMesh mesh;
    std::string error;
    bool read = false;
    try {
        read = importWithAssimp(path, mesh, error, opened);
    } catch (const std::bad_alloc&) {
        ::_exit(childOutOfMemory);
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "the importer stopped on an exception of unknown kind";
    }
    if (read) ::_exit(writeMesh(resultFd, mesh) ? childDone : childOutOfMemory);
    if (error.size() > longestMessage) error.resize(longestMessage);
    writeAll(resultFd, error.data(), error.size());
    ::_exit(childRefused);
}

// The parent's side.

double secondsNow() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Waits until the child has ended (its end of `ended` closes) or the time is
// up. False when the time is up.
bool waitForEnd(int ended, int seconds) {
    const double deadline = secondsNow() + seconds;
    for (;;) {
        const double left = deadline - secondsNow();
        if (left <= 0) return false;
        pollfd watch{ended, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(std::ceil(std::fmin(left, 3600.0) * 1000)));
        if (ready > 0) {
            char ignored = 0;
            if (::read(ended, &ignored, 1) <= 0) return true;  // nothing is ever written: only its end comes
        }
        if (ready < 0 && errno != EINTR) return true;  // cannot wait: waitpid will
    }
}

bool readAt(int fd, void* data, std::size_t size, std::uint64_t offset) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// The mesh the child wrote, checked as if it came from a file: the sizes
// must add up exactly, faces run in order, and every corner and position
// must be one the viewer can take.
bool readMesh(int fd, PolygonMesh& mesh) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < headerBytes) return false;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    char head[sizeof magic];
    std::uint64_t counts[3];
    if (!readAt(fd, head, sizeof head, 0) || std::memcmp(head, magic, sizeof magic) != 0 ||
        !readAt(fd, counts, sizeof counts, sizeof magic))
        return false;
    const std::uint64_t vertices = counts[0], faces = counts[1], corners = counts[2];
    const std::uint64_t room = size - headerBytes;
    if (vertices > INT32_MAX || faces >= room / sizeof(std::int64_t) || corners > room / sizeof(std::int32_t) ||
        vertices * sizeof(Vertex) + (faces + 1) * sizeof(std::int64_t) + corners * sizeof(std::int32_t) != room)
        return false;
    mesh.vertices.resize(vertices);
    mesh.faceStart.resize(faces + 1);
    mesh.corners.resize(corners);
    std::uint64_t at = headerBytes;
    if (!readAt(fd, mesh.vertices.data(), vertices * sizeof(Vertex), at)) return false;
    at += vertices * sizeof(Vertex);
    if (!readAt(fd, mesh.faceStart.data(), (faces + 1) * sizeof(std::int64_t), at)) return false;
    at += (faces + 1) * sizeof(std::int64_t);
    if (!readAt(fd, mesh.corners.data(), corners * sizeof(std::int32_t), at)) return false;
    if (mesh.faceStart.front() != 0 || mesh.faceStart.back() != static_cast<std::int64_t>(corners)) return false;
    return std::is_sorted(mesh.faceStart.begin(), mesh.faceStart.end()) &&
           std::all_of(mesh.corners.begin(), mesh.corners.end(),
                       [&](std::int32_t c) { return c >= 0 && static_cast<std::uint64_t>(c) < vertices; }) &&
           std::all_of(mesh.vertices.begin(), mesh.vertices.end(),
                       [](const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); });
}

std::string readMessage(int fd) {
    std::string message(longestMessage, '\0');
    std::size_t length = 0;
    for (ssize_t n = 0; length < message.size(); length += static_cast<std::size_t>(n)) {
        n = ::pread(fd, message.data() + length, message.size() - length, static_cast<off_t>(length));
        if (n <= 0) break;
    }
    message.resize(length);
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    return message.empty() ? "the importer refused it without a reason" : message;
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

ImportLimits importLimits(std::uint64_t fileBytes) {
    constexpr std::uint64_t base = std::uint64_t{512} << 20;
    const std::uint64_t memory = fileBytes < (UINT64_MAX - base) / 16 ? base + 16 * fileBytes : UINT64_MAX;
    const std::uint64_t seconds = 10 + fileBytes / 10000000;
    return {memory, static_cast<int>(seconds < INT_MAX / 2 ? seconds : INT_MAX / 2)};
}

bool importInChild(const std::string& path, std::uint64_t fileBytes, PolygonMesh& mesh, std::string& error) {
    const ImportLimits limits = importLimits(fileBytes);
    auto cannotStart = [&](int code) {
        error = path + ": cannot start the importer: " + std::strerror(code);
        return false;
    };
    Descriptor result{::memfd_create("tarvexgl-fit-import", MFD_CLOEXEC)};
    if (result.fd < 0) return cannotStart(errno);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return cannotStart(errno);
    Descriptor waitEnd{ends[0]}, childEnd{ends[1]};
    // A shell may have started this program with SIGCHLD ignored, which
    // would leave no status to collect.
    struct sigaction defaultChild {
    }, saved{};
    defaultChild.sa_handler = SIG_DFL;
    sigemptyset(&defaultChild.sa_mask);
    ::sigaction(SIGCHLD, &defaultChild, &saved);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        const int code = errno;
        ::sigaction(SIGCHLD, &saved, nullptr);
        return cannotStart(code);
    }
    if (child == 0) {
        ::close(waitEnd.fd);
        runChild(path, limits, result.fd, parent);
    }
    ::close(childEnd.fd);
    childEnd.fd = -1;
    const bool ended = waitForEnd(waitEnd.fd, limits.seconds);
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ::sigaction(SIGCHLD, &saved, nullptr);

    const std::string failed = path + ": the importer failed (";
    if (!ended || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
        error = failed + "gave up after " + std::to_string(limits.seconds) + " s)";
        return false;
    }
    if (WIFSIGNALED(status)) {
        error = failed + "crashed on this file)";
        return false;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == childRefused) {
        error = path + ": " + readMessage(result.fd);
        return false;
    }
    if (code == childOutOfMemory) {
        error = failed + "needed more than the " + sizeInWords(limits.memoryBytes) + " allowed for a file of " +
                sizeInWords(fileBytes) + ")";
        return false;
    }
    if (code != childDone) {
        error = failed + "stopped with status " + std::to_string(code) + ")";
        return false;
    }
    mesh = PolygonMesh{};
    if (!readMesh(result.fd, mesh)) {
        mesh = PolygonMesh{};
        error = failed + "handed back a mesh that does not add up)";
        return false;
    }
    return true;
}
