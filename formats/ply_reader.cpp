#include "formats/ply_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "formats/text_scan.h"
#include "mesh/join_positions.h"
#include "mesh/number_token.h"
#include "mesh/quoted_token.h"

namespace {

enum class Type : std::uint8_t { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

struct TypeName {
    std::string_view name;
    Type type;
};
constexpr TypeName typeNames[] = {
    {"char", Type::int8},     {"int8", Type::int8},       {"uchar", Type::uint8},    {"uint8", Type::uint8},
    {"short", Type::int16},   {"int16", Type::int16},     {"ushort", Type::uint16},  {"uint16", Type::uint16},
    {"int", Type::int32},     {"int32", Type::int32},     {"uint", Type::uint32},    {"uint32", Type::uint32},
    {"float", Type::float32}, {"float32", Type::float32}, {"double", Type::float64}, {"float64", Type::float64},
};

std::size_t sizeOf(Type t) {
    switch (t) {
        case Type::int8:
        case Type::uint8: return 1;
        case Type::int16:
        case Type::uint16: return 2;
        case Type::int32:
        case Type::uint32:
        case Type::float32: return 4;
        case Type::float64: return 8;
    }
    return 1;
}

bool isInteger(Type t) { return t != Type::float32 && t != Type::float64; }

// What the reader does with a property's values.
enum class Role : std::uint8_t { skip, x, y, z, corners };

struct Property {
    bool list = false;
    Type countType = Type::uint8;
    Type type = Type::float32;
    Role role = Role::skip;
};

enum class Kind : std::uint8_t { other, vertex, face };

struct Element {
    std::string_view name;
    std::uint64_t count = 0;
    const char* countAt = nullptr;  // for messages
    Kind kind = Kind::other;
    std::vector<Property> properties;
};

enum class Format : std::uint8_t { text, littleEndian, bigEndian };

struct Header {
    Format format = Format::text;
    std::vector<Element> elements;
    std::int64_t vertexCount = 0;
    std::int64_t faceCount = 0;
};

// What is being read, for messages.
struct Place {
    std::string_view path;
    const Element* element = nullptr;
    std::uint64_t record = 0;
    bool afterRecords = false;
};

std::string describe(const Place& at) {
    if (at.afterRecords) return "after the last record";
    if (!at.element) return "header";
    return std::string(at.element->name) + " " + std::to_string(at.record) + " of " + std::to_string(at.element->count);
}

std::string indexRange(const Header& h) {
    if (h.vertexCount == 0) return "a vertex index, but there are no vertices";
    return "a vertex index in 0.." + std::to_string(h.vertexCount - 1);
}

bool parseCount(std::string_view token, std::uint64_t& count) {
    if (token.empty() || token.size() > 18) return false;
    count = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') return false;
        count = 10 * count + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

bool parseType(std::string_view token, Type& type) {
    for (const TypeName& t : typeNames)
        if (t.name == token) {
            type = t.type;
            return true;
        }
    return false;
}

constexpr const char* typeList = "a type (char, uchar, short, ushort, int, uint, float, double)";

struct HeaderReader {
    TextScan scan;
    std::string_view path;
    std::string& error;
};

bool failHeader(HeaderReader& r, const char* at, std::string_view expected) {
    r.error = std::string(r.path) + ":" + std::to_string(lineAt(r.scan, at)) + ": header: expected ";
    r.error += expected;
    r.error += ", found " + foundAt(r.scan, at);
    return false;
}

bool hasRole(const Element& element, Role role) {
    return std::any_of(element.properties.begin(), element.properties.end(),
                       [role](const Property& p) { return p.role == role; });
}

bool readProperty(HeaderReader& r, Element& element) {
    Property property;
    std::string_view token = tokenOnLine(r.scan);
    if (token == "list") {
        property.list = true;
        token = tokenOnLine(r.scan);
        if (!parseType(token, property.countType) || !isInteger(property.countType))
            return failHeader(r, token.data(), "an integer type for the list's count");
        token = tokenOnLine(r.scan);
    }
    if (!parseType(token, property.type)) return failHeader(r, token.data(), typeList);
    const std::string_view name = tokenOnLine(r.scan);
    if (name.empty()) return failHeader(r, name.data(), "the property's name");
    if (element.kind == Kind::vertex && !property.list) {
        const Role role = name == "x" ? Role::x : name == "y" ? Role::y : name == "z" ? Role::z : Role::skip;
        if (!hasRole(element, role)) property.role = role;
    } else if (element.kind == Kind::face && property.list && (name == "vertex_indices" || name == "vertex_index") &&
               !hasRole(element, Role::corners)) {
        if (!isInteger(property.type)) return failHeader(r, name.data(), "vertex indices of an integer type");
        property.role = Role::corners;
    }
    element.properties.push_back(property);
    return true;
}

// Every element and property, and where the body starts. The vertex and
// face elements must be there, with x, y, z and the vertex indices.
bool readHeader(HeaderReader& r, Header& h, std::size_t& bodyStart) {
    const std::string_view magic = tokenOnLine(r.scan);
    if (magic != "ply") return failHeader(r, magic.data(), "'ply'");
    bool formatSeen = false;
    const char* endHeader = nullptr;
    for (;;) {
        const std::string_view extra = tokenOnLine(r.scan);
        if (!extra.empty()) return failHeader(r, extra.data(), "the end of the line");
        skipLine(r.scan);
        if (r.scan.p == r.scan.end) return failHeader(r, r.scan.p, "'end_header'");
        const std::string_view keyword = tokenOnLine(r.scan);
        if (keyword == "end_header") {
            endHeader = keyword.data();
            skipLine(r.scan);
            break;
        }
        if (keyword.empty()) continue;
        if (keyword == "comment" || keyword == "obj_info") {
            r.scan.p = std::find(r.scan.p, r.scan.end, '\n');
        } else if (keyword == "format") {
            const std::string_view format = tokenOnLine(r.scan);
            if (format == "ascii") h.format = Format::text;
            else if (format == "binary_little_endian")
                h.format = Format::littleEndian;
            else if (format == "binary_big_endian")
                h.format = Format::bigEndian;
            else
                return failHeader(r, format.data(), "ascii, binary_little_endian or binary_big_endian");
            const std::string_view version = tokenOnLine(r.scan);
            double number = 0;
            if (version.empty() ||
                parseDoubleToken(version.data(), version.data() + version.size(), number) != NumberStatus::ok)
                return failHeader(r, version.data(), "the format's version, such as 1.0");
            formatSeen = true;
        } else if (keyword == "element") {
            Element element;
            element.name = tokenOnLine(r.scan);
            if (element.name.empty()) return failHeader(r, element.name.data(), "the element's name");
            const std::string_view count = tokenOnLine(r.scan);
            element.countAt = count.data();
            if (!parseCount(count, element.count)) return failHeader(r, count.data(), "the element's count");
            const auto known = [&](Kind kind) {
                return std::any_of(h.elements.begin(), h.elements.end(),
                                   [kind](const Element& e) { return e.kind == kind; });
            };
            if (element.name == "vertex" && !known(Kind::vertex)) element.kind = Kind::vertex;
            if (element.name == "face" && !known(Kind::face)) element.kind = Kind::face;
            h.elements.push_back(element);
        } else if (keyword == "property") {
            if (h.elements.empty()) return failHeader(r, keyword.data(), "an element before its properties");
            if (!readProperty(r, h.elements.back())) return false;
        } else {
            return failHeader(r, keyword.data(), "'format', 'element', 'property', 'comment' or 'end_header'");
        }
    }
    bodyStart = static_cast<std::size_t>(r.scan.p - r.scan.begin);
    if (!formatSeen) return failHeader(r, endHeader, "a 'format' line before 'end_header'");
    const Element* vertex = nullptr;
    const Element* face = nullptr;
    for (const Element& e : h.elements) {
        if (e.kind == Kind::vertex) vertex = &e;
        if (e.kind == Kind::face) face = &e;
    }
    if (!vertex) return failHeader(r, endHeader, "an element 'vertex' before 'end_header'");
    for (const Role role : {Role::x, Role::y, Role::z})
        if (!hasRole(*vertex, role)) return failHeader(r, vertex->countAt, "properties x, y and z in element 'vertex'");
    if (!face) return failHeader(r, endHeader, "an element 'face' before 'end_header'");
    if (!hasRole(*face, Role::corners))
        return failHeader(r, face->countAt, "a list property 'vertex_indices' in element 'face'");
    if (vertex->count > viewerCountLimit) return failHeader(r, vertex->countAt, "at most 2147483647 vertices");
    h.vertexCount = static_cast<std::int64_t>(vertex->count);
    h.faceCount = static_cast<std::int64_t>(std::min<std::uint64_t>(face->count, INT64_MAX));
    return true;
}

// The fewest bytes a record can take: its scalars and list counts in
// binary; a character and a separator a value in text.
std::uint64_t fewestBytes(const Element& e, Format format) {
    std::uint64_t bytes = 0;
    for (const Property& p : e.properties) bytes += format == Format::text ? 2 : sizeOf(p.list ? p.countType : p.type);
    return bytes;
}

// The counts must leave room for their records in what follows the header.
bool checkRoom(HeaderReader& r, const Header& h, std::size_t bodyBytes) {
    std::uint64_t left = bodyBytes + 1;  // the last text value needs no separator
    for (const Element& e : h.elements) {
        const std::uint64_t each = fewestBytes(e, h.format);
        if (each == 0) continue;
        if (e.count > left / each)
            return failHeader(r, e.countAt,
                              "at most " + std::to_string(left / each) + " records of element '" + std::string(e.name) +
                                  "' in the " + std::to_string(bodyBytes) + " bytes that follow the header");
        left -= e.count * each;
    }
    return true;
}

// Binary bodies.

template <class T>
T load(const unsigned char* at, bool swap) {
    using Bits = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                    std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
    Bits bits = 0;
    std::memcpy(&bits, at, sizeof bits);
    if (swap) {
        if constexpr (sizeof bits == 2) bits = __builtin_bswap16(bits);
        else if constexpr (sizeof bits == 4)
            bits = __builtin_bswap32(bits);
        else
            bits = __builtin_bswap64(bits);
    }
    return std::bit_cast<T>(bits);
}

// An integer type's value, exactly.
std::int64_t integerAt(Type t, const unsigned char* at, bool swap) {
    switch (t) {
        case Type::int8: return static_cast<std::int8_t>(at[0]);
        case Type::uint8: return at[0];
        case Type::int16: return load<std::int16_t>(at, swap);
        case Type::uint16: return load<std::uint16_t>(at, swap);
        case Type::int32: return load<std::int32_t>(at, swap);
        case Type::uint32: return load<std::uint32_t>(at, swap);
        case Type::float32:
        case Type::float64: break;
    }
    return -1;
}

// Any type's value: an integer of at most 32 bits is exact in a double.
double valueAt(Type t, const unsigned char* at, bool swap) {
    if (t == Type::float32) return load<float>(at, swap);
    if (t == Type::float64) return load<double>(at, swap);
    return static_cast<double>(integerAt(t, at, swap));
}

struct BinaryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
    bool swap;
    Place place;
    std::string& error;
};

bool failBinary(BinaryReader& r, std::size_t at, std::string_view expected, std::string_view found) {
    r.error = std::string(r.place.path) + ": " + describe(r.place) + " (byte " + std::to_string(at) + "): expected ";
    r.error += expected;
    r.error += ", found ";
    r.error += found;
    return false;
}

bool need(BinaryReader& r, std::uint64_t bytes) {
    if (bytes <= r.size - r.at) return true;
    return failBinary(r, r.at, std::to_string(bytes) + " more bytes", "end of file");
}

std::string shown(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return std::to_string(value);
}

bool readBinaryRecord(BinaryReader& r, const Header& h, const Element& e, PolygonMesh& mesh) {
    for (const Property& p : e.properties) {
        if (!p.list) {
            const std::size_t size = sizeOf(p.type);
            if (!need(r, size)) return false;
            if (p.role != Role::skip) {
                const double value = valueAt(p.type, r.data + r.at, r.swap);
                if (!std::isfinite(value)) return failBinary(r, r.at, "a finite coordinate", shown(value));
                Vertex& v = mesh.vertices[r.place.record];
                (p.role == Role::x ? v.x : p.role == Role::y ? v.y : v.z) = value;
            }
            r.at += size;
            continue;
        }
        const std::size_t countSize = sizeOf(p.countType), itemSize = sizeOf(p.type);
        if (!need(r, countSize)) return false;
        const std::int64_t count = integerAt(p.countType, r.data + r.at, r.swap);
        const std::size_t countAt = r.at;
        r.at += countSize;
        if (count < 0) return failBinary(r, countAt, "a list count of 0 or more", std::to_string(count));
        if (static_cast<std::uint64_t>(count) > (r.size - r.at) / itemSize)
            return failBinary(r, countAt,
                              "a list count that the " + std::to_string(r.size - r.at) + " bytes left can hold",
                              std::to_string(count));
        if (p.role == Role::corners) {
            for (std::int64_t k = 0; k < count; ++k, r.at += itemSize) {
                const std::int64_t index = integerAt(p.type, r.data + r.at, r.swap);
                if (index < 0 || index >= h.vertexCount)
                    return failBinary(r, r.at, indexRange(h), std::to_string(index));
                mesh.corners.push_back(static_cast<std::int32_t>(index));
            }
            mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        } else {
            r.at += static_cast<std::size_t>(count) * itemSize;
        }
    }
    return true;
}

bool readBinaryBody(std::string_view bytes, std::size_t bodyStart, std::string_view path, const Header& h,
                    PolygonMesh& mesh, std::string& error) {
    const bool bigEndian = h.format == Format::bigEndian;
    BinaryReader r{reinterpret_cast<const unsigned char*>(bytes.data()),   bytes.size(), bodyStart,
                   bigEndian != (std::endian::native == std::endian::big), {path},       error};
    for (const Element& e : h.elements) {
        if (e.properties.empty()) continue;
        r.place.element = &e;
        for (r.place.record = 0; r.place.record < e.count; ++r.place.record)
            if (!readBinaryRecord(r, h, e, mesh)) return false;
    }
    r.place.afterRecords = true;
    if (r.at != r.size)
        return failBinary(r, r.at, "the end of the file", std::to_string(r.size - r.at) + " more bytes");
    return true;
}

// Text bodies: one record to a line.

struct TextReader {
    TextScan scan;
    Place place;
    std::string& error;
};

bool failText(TextReader& r, const char* at, std::string_view expected) {
    r.error =
        std::string(r.place.path) + ":" + std::to_string(lineAt(r.scan, at)) + ": " + describe(r.place) + ": expected ";
    r.error += expected;
    r.error += ", found " + foundAt(r.scan, at);
    return false;
}

bool readNumberToken(TextReader& r, double& value) {
    const std::string_view token = tokenOnLine(r.scan);
    if (token.empty() || parseDoubleToken(token.data(), token.data() + token.size(), value) != NumberStatus::ok)
        return failText(r, token.data(), "a number");
    return true;
}

bool readTextRecord(TextReader& r, const Header& h, const Element& e, PolygonMesh& mesh) {
    for (const Property& p : e.properties) {
        if (!p.list) {
            const char* at = r.scan.p;
            double value = 0;
            if (!readNumberToken(r, value)) return false;
            if (p.role == Role::skip) continue;
            if (!std::isfinite(value)) {
                while (isBlank(*at)) ++at;
                return failText(r, at, "a finite coordinate");
            }
            Vertex& v = mesh.vertices[r.place.record];
            (p.role == Role::x ? v.x : p.role == Role::y ? v.y : v.z) = value;
            continue;
        }
        const std::string_view countToken = tokenOnLine(r.scan);
        std::int32_t count = 0;
        if (countToken.empty() ||
            parseIntToken(countToken.data(), countToken.data() + countToken.size(), count) != NumberStatus::ok ||
            count < 0)
            return failText(r, countToken.data(), "a list count of 0 or more");
        // A value takes a character and a blank: no count beyond the bytes left.
        if (static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(r.scan.end - r.scan.p) / 2 + 1)
            return failText(r, countToken.data(),
                            "a list count that the " + std::to_string(r.scan.end - r.scan.p) + " bytes left can hold");
        for (std::int32_t k = 0; k < count; ++k) {
            if (p.role != Role::corners) {
                double ignored = 0;
                if (!readNumberToken(r, ignored)) return false;
                continue;
            }
            const std::string_view token = tokenOnLine(r.scan);
            std::int32_t index = 0;
            if (token.empty() || parseIntToken(token.data(), token.data() + token.size(), index) != NumberStatus::ok ||
                index < 0 || index >= h.vertexCount)
                return failText(r, token.data(), indexRange(h));
            mesh.corners.push_back(index);
        }
        if (p.role == Role::corners) mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    }
    const std::string_view extra = tokenOnLine(r.scan);
    if (!extra.empty()) return failText(r, extra.data(), "the end of the record's line");
    return true;
}

bool readTextBody(std::string_view bytes, std::size_t bodyStart, std::string_view path, const Header& h,
                  PolygonMesh& mesh, std::string& error) {
    TextReader r{scanOf(bytes), {path}, error};
    r.scan.p += bodyStart;
    for (const Element& e : h.elements) {
        if (e.properties.empty()) continue;
        r.place.element = &e;
        for (r.place.record = 0; r.place.record < e.count; ++r.place.record) {
            while (r.scan.p != r.scan.end && (isBlank(*r.scan.p) || *r.scan.p == '\n')) ++r.scan.p;
            if (!readTextRecord(r, h, e, mesh)) return false;
        }
    }
    r.place.afterRecords = true;
    const std::string_view extra = nextToken(r.scan);
    if (!extra.empty()) return failText(r, extra.data(), "the end of the file");
    return true;
}

}  // namespace

bool startsAsPly(std::string_view bytes) {
    if (bytes.substr(0, 3) != "ply") return false;
    std::size_t i = 3;
    while (i < bytes.size() && isBlank(bytes[i])) ++i;
    return i < bytes.size() && bytes[i] == '\n';
}

bool readPly(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    HeaderReader header{scanOf(bytes), path, error};
    Header h;
    std::size_t bodyStart = 0;
    if (!readHeader(header, h, bodyStart) || !checkRoom(header, h, bytes.size() - bodyStart)) return false;
    mesh = PolygonMesh{};
    try {
        mesh.vertices.resize(static_cast<std::size_t>(h.vertexCount));
        mesh.faceStart.reserve(static_cast<std::size_t>(h.faceCount) + 1);
        mesh.corners.reserve(
            std::min<std::size_t>(3 * static_cast<std::size_t>(h.faceCount), bytes.size() - bodyStart));
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        error = std::string(path) + ": not enough memory for " + std::to_string(h.vertexCount) + " vertices and " +
                std::to_string(h.faceCount) + " faces";
        return false;
    }
    const bool read = h.format == Format::text ? readTextBody(bytes, bodyStart, path, h, mesh, error)
                                               : readBinaryBody(bytes, bodyStart, path, h, mesh, error);
    if (!read) return false;
    joinIdenticalPositions(mesh);
    return true;
}
