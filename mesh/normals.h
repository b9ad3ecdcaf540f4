// Face and corner normals.
#pragma once

#include <cstdint>

#include "mesh/model.h"

// Fills face.faceNormal from face.cornerPosition and seeds the three
// face.cornerNormal vectors with it.
void computeFaceNormal(Face& face);

// Completes every cornerNormal once every faceNormal is known.
void smoothCornerNormals(Face* faces, std::int32_t faceCount);
