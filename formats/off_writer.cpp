#include "formats/off_writer.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>
#include <vector>

#include "mesh/output_file.h"

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
    try {
        return formatOff(mesh, [fd](std::string_view chunk) { return writeAll(fd, chunk); });
    } catch (const std::bad_alloc&) {  // the buffer: the caller removes what it made
        errno = ENOMEM;
        return false;
    }
}

bool writeOffFile(const TriangleMesh& mesh, const std::string& path, std::string& error) {
    return writeOutputFile(
        path, [&](int fd) { return writeOff(mesh, fd); }, error);
}
