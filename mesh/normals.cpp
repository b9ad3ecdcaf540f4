#include "mesh/normals.h"

// Shading comes later; until then every normal is zero, which lights a face
// with the ambient term only.
void computeFaceNormal(Face& face) {
    for (int i = 0; i < 3; ++i) {
        face.faceNormal[i] = 0.0;
        for (auto& corner : face.cornerNormal) corner[i] = 0.0;
    }
}

void smoothCornerNormals(Face*, std::int32_t) {}
