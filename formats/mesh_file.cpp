#include "formats/mesh_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "formats/isolated_import.h"
#include "formats/obj_reader.h"
#include "formats/ply_reader.h"
#include "formats/polygon_off.h"
#include "formats/read_file.h"
#include "formats/stl_reader.h"
#include "formats/text_scan.h"
#include "process/error_line.h"

namespace {

enum class Reader { off, stl, ply, obj, importer };

bool hasExtension(const std::string& path, std::string_view extension) {
    return path.size() >= extension.size() &&
           sameWord(std::string_view(path).substr(path.size() - extension.size()), extension);
}

// Only a regular file is looked into: a pipe would lose what was read, and
// a pipe or device is read as OFF, the one format read as a stream. The
// first few kilobytes are enough to see an OFF keyword behind comments, or
// PLY's first line.
Reader readerFor(const std::string& path, bool regular) {
    if (!regular || hasExtension(path, ".off")) return Reader::off;
    char head[4096];
    std::size_t n = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        n = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    const std::string_view start(head, n);
    if (startsWithOffKeyword(start)) return Reader::off;
    if (hasExtension(path, ".stl")) return Reader::stl;
    if (hasExtension(path, ".ply")) return Reader::ply;
    if (hasExtension(path, ".obj")) return Reader::obj;
    return startsAsPly(start) ? Reader::ply : Reader::importer;
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
    const Reader reader = readerFor(path, S_ISREG(info.st_mode));
    formatUp = reader == Reader::off || reader == Reader::stl ? UpAxis::z : UpAxis::y;
    if (reader == Reader::importer) return importInChild(path, static_cast<std::uint64_t>(info.st_size), mesh, error);
    FileBytes file;
    if (!readWholeFile(path, file, error)) {
        error = path + ": " + error;
        return false;
    }
    if (reader == Reader::off) return readPolygonOff(file.text(), path, mesh, error);  // throws nothing
    try {
        if (reader == Reader::stl) return readStl(file.text(), path, mesh, error);
        if (reader == Reader::ply) return readPly(file.text(), path, mesh, error);
        return readObj(file.text(), path, mesh, error);
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        error = path + ": not enough memory to read a mesh from its " + sizeInWords(file.size);
        return false;
    }
}
