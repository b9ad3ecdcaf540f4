#include "fit/assimp_import.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "assimp cannot read it" : text;
}

}  // namespace

bool importWithAssimp(const std::string& path, PolygonMesh& mesh, std::string& error) {
    Assimp::Importer importer;
    // Normals, texture coordinates and colours would keep apart corners that
    // share a position; only positions are wanted.
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS |
                                                            aiComponent_COLORS | aiComponent_TEXCOORDS |
                                                            aiComponent_BONEWEIGHTS | aiComponent_ANIMATIONS |
                                                            aiComponent_TEXTURES | aiComponent_LIGHTS |
                                                            aiComponent_CAMERAS | aiComponent_MATERIALS);
    // Read first, processed after: a file without a single mesh would
    // otherwise be reported in the words of the processing step.
    const aiScene* scene = importer.ReadFile(path, 0);
    if (scene && scene->mNumMeshes == 0) {
        error = "no mesh in the file: expected at least one face, found none";
        return false;
    }
    if (scene)
        scene = importer.ApplyPostProcessing(aiProcess_RemoveComponent | aiProcess_JoinIdenticalVertices |
                                             aiProcess_PreTransformVertices);
    if (!scene) {
        error = oneLine(importer.GetErrorString());
        return false;
    }
    std::uint64_t vertexTotal = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) vertexTotal += scene->mMeshes[m]->mNumVertices;
    if (vertexTotal > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        error = "more vertices than the viewer can index (" + std::to_string(vertexTotal) + ")";
        return false;
    }
    mesh = PolygonMesh{};
    mesh.vertices.reserve(static_cast<std::size_t>(vertexTotal));
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& part = *scene->mMeshes[m];
        const auto base = static_cast<std::int32_t>(mesh.vertices.size());
        for (unsigned i = 0; i < part.mNumVertices; ++i) {
            const aiVector3D& p = part.mVertices[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                error = "vertex " + std::to_string(i) + " of mesh " + std::to_string(m) + " is not a finite point";
                return false;
            }
            mesh.vertices.push_back({p.x, p.y, p.z});
        }
        for (unsigned f = 0; f < part.mNumFaces; ++f) {
            const aiFace& face = part.mFaces[f];
            for (unsigned k = 0; k < face.mNumIndices; ++k) {
                if (face.mIndices[k] >= part.mNumVertices) {
                    error = "face " + std::to_string(f) + " of mesh " + std::to_string(m) +
                            " names a vertex that is not there";
                    return false;
                }
                mesh.corners.push_back(base + static_cast<std::int32_t>(face.mIndices[k]));
            }
            mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        }
    }
    return true;
}
