// The step that makes faces face out of the solid they bound, as the
// viewer's lighting needs: it lights a face by its winding's normal only.
#pragma once

#include <cstddef>
#include <string>

#include "mesh/polygon_mesh.h"

// What orientOutward changed, for the line tarvexgl-fit prints.
struct OrientationChanges {
    std::size_t closedParts = 0;       // parts that enclose a volume
    std::size_t partsTurned = 0;       // of those, the ones that were inside out
    std::size_t facesMadeToAgree = 0;  // faces that faced against their part's other faces
    std::size_t backToBack = 0;        // faces dropped for repeating another in the opposite winding
    std::size_t repeated = 0;          // faces dropped for repeating another in the same winding
};

// Works on the faces as the file lists them (faces of fewer than three
// corners are left alone), with vertices at exactly the same position taken
// as one, in three steps:
//
// 1. A face that names the same places as an earlier one, in the same or the
//    opposite cyclic order, is merged into it and left with no corners (so
//    that later faces keep their numbers). The earlier face stays where it
//    is; when step 3 turns it and a back-to-back twin was merged into it,
//    the twin's own corners take its place.
// 2. Faces that share an edge, one on each side, are made to run along it in
//    opposite directions, so that they face the same way. The faces linked
//    so form a part. A part is closed when each of its edges is shared by
//    exactly two of its faces and its faces can all agree (not a Moebius
//    strip).
// 3. A closed part whose signed volume is negative is turned inside out, so
//    that every face's normal points out of the solid. Any other part (open,
//    or flat) keeps the winding most of its faces have in the file.
//
// A mesh whose faces are already consistent and face out comes out exactly
// as it went in. Faces keep their order and their first corner unless
// turned (a turned face lists its first corner, then the rest backwards).
OrientationChanges orientOutward(PolygonMesh& mesh);

// The changes as a phrase for a line on standard error, such as "turned 1 of
// 1 closed parts outward; merged 6378 back-to-back faces"; empty when
// nothing changed.
std::string describeChanges(const OrientationChanges& changes);
