#include "geometry/up_axis.h"

std::optional<UpAxis> parseUpAxis(std::string_view text) {
    if (text == "x") return UpAxis::x;
    if (text == "y") return UpAxis::y;
    if (text == "z") return UpAxis::z;
    if (text == "-x") return UpAxis::minusX;
    if (text == "-y") return UpAxis::minusY;
    if (text == "-z") return UpAxis::minusZ;
    return std::nullopt;
}

Vertex turnUp(const Vertex& p, UpAxis up) {
    switch (up) {
        case UpAxis::x: return {-p.z, p.y, p.x};        // a quarter turn about y
        case UpAxis::y: return {p.x, -p.z, p.y};        // a quarter turn about x
        case UpAxis::z: return p;                       //
        case UpAxis::minusX: return {p.z, p.y, -p.x};   // a quarter turn back about y
        case UpAxis::minusY: return {p.x, p.z, -p.y};   // a quarter turn back about x
        case UpAxis::minusZ: return {p.x, -p.y, -p.z};  // a half turn about x
    }
    return p;
}

void standUp(std::vector<Vertex>& points, UpAxis up) {
    for (Vertex& p : points) p = turnUp(p, up);
}
