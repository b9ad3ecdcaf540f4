#include "formats/isolated_import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <set>

#include "formats/assimp_import.h"
#include "mesh/output_file.h"
#include "process/child_process.h"
#include "process/error_line.h"

namespace {

// What the child's work returns beside childOutOfMemory: the mesh is in the
// memory file, or the library's reason is.
constexpr int childDone = 0, childRefused = 3;

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

int importIntoFile(const std::string& path, int resultFd) {
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
        return childOutOfMemory;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "the importer stopped on an exception of unknown kind";
    }
    if (read) return writeMesh(resultFd, mesh) ? childDone : childOutOfMemory;
    if (error.size() > longestMessage) error.resize(longestMessage);
    writeAll(resultFd, error.data(), error.size());
    return childRefused;
}

// The parent's side.

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

}  // namespace

ChildLimits importLimits(std::uint64_t fileBytes) {
    constexpr std::uint64_t base = std::uint64_t{512} << 20;
    const std::uint64_t memory = fileBytes < (UINT64_MAX - base) / 16 ? base + 16 * fileBytes : UINT64_MAX;
    const std::uint64_t seconds = 10 + fileBytes / 10000000;
    return {memory, static_cast<int>(seconds < INT_MAX / 2 ? seconds : INT_MAX / 2)};
}

bool importInChild(const std::string& path, std::uint64_t fileBytes, PolygonMesh& mesh, std::string& error) {
    const ChildLimits limits = importLimits(fileBytes);
    LimitedRun run;
    std::string reason;
    if (!runLimited(
            limits, [&](int resultFd) { return importIntoFile(path, resultFd); }, run, reason)) {
        error = path + ": cannot start the importer: " + reason;
        return false;
    }
    const std::string failed = path + ": the importer failed (";
    switch (run.end) {
        case ChildEnd::outOfTime:
            error = failed + "gave up after " + std::to_string(limits.seconds) + " s)";
            return false;
        case ChildEnd::crashed: error = failed + "crashed on this file)"; return false;
        case ChildEnd::outOfMemory:
            error = failed + "needed more than the " + sizeInWords(limits.memoryBytes) + " allowed for a file of " +
                    sizeInWords(fileBytes) + ")";
            return false;
        case ChildEnd::finished: break;
    }
    if (run.status == childRefused) {
        error = path + ": " + readMessage(run.result.fd);
        return false;
    }
    if (run.status != childDone) {
        error = failed + "stopped with status " + std::to_string(run.status) + ")";
        return false;
    }
    mesh = PolygonMesh{};
    if (!readMesh(run.result.fd, mesh)) {
        mesh = PolygonMesh{};
        error = failed + "handed back a mesh that does not add up)";
        return false;
    }
    return true;
}
