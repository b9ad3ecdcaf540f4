// Which axis of the input points up, and the turn that stands it on z.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "mesh/model.h"
#include "mesh/polygon_mesh.h"

// "x", "y", "z", "-x", "-y" or "-z"; nothing for anything else.
std::optional<UpAxis> parseUpAxis(std::string_view text);

// The rotation (a quarter or half turn, never a mirror, so faces keep their
// outside) that takes `up` to +z. With y up, the input's +z (the front, in
// the y-up convention) ends on -y, the side the viewer's camera sees first.
Vertex turnUp(const Vertex& p, UpAxis up);

// Every point turned by turnUp.
void standUp(std::vector<Vertex>& points, UpAxis up);
