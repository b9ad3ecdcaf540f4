#include "fit/mesh_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "fit/other_formats.h"
#include "fit/polygon_off.h"
#include "fit/read_file.h"

namespace {

bool hasExtension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// The first few kilobytes are enough to see an OFF keyword behind comments.
bool startsAsOff(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char head[4096];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return startsWithOffKeyword(std::string_view(head, n));
}

}  // namespace

bool readMeshFile(const std::string& path, PolygonMesh& mesh, UpAxis& formatUp, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = path + ": cannot open: " + std::strerror(EISDIR);
        return false;
    }
    // Only a regular file is looked into first: a pipe would lose what was
    // read. A pipe or device is read as OFF, the one format read as a stream.
    const bool off = !S_ISREG(info.st_mode) || hasExtension(path, ".off") || startsAsOff(path);
    formatUp = off || hasExtension(path, ".stl") ? UpAxis::z : UpAxis::y;
    if (!off) return readOtherFormat(path, mesh, error);
    FileBytes bytes;
    if (!readWholeFile(path, bytes, error)) {
        error = path + ": " + error;
        return false;
    }
    return readPolygonOff(bytes.text(), path, mesh, error);
}
