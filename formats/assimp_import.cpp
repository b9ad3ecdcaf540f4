#include "formats/assimp_import.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <utility>
#include <vector>

#include "mesh/join_positions.h"

namespace {

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "assimp cannot read it" : text;
}

// The library's own file access, for regular files only.
class RegularFilesOnly : public Assimp::DefaultIOSystem {
public:
    explicit RegularFilesOnly(std::function<void(const char*, std::uint64_t)> opened) : opened_(std::move(opened)) {}

    bool Exists(const char* file) const override {
        struct stat info {};
        return ::stat(file, &info) == 0 && S_ISREG(info.st_mode);
    }

    Assimp::IOStream* Open(const char* file, const char* mode) override {
        struct stat info {};
        if (::stat(file, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
        Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
        if (stream && opened_) opened_(file, static_cast<std::uint64_t>(info.st_size));
        return stream;
    }

private:
    std::function<void(const char*, std::uint64_t)> opened_;
};

// A node's transform, affine, in doubles: rows of (rotation-scale | move).
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

Affine then(const Affine& parent, const aiMatrix4x4& t) {
    const double local[3][4] = {{t.a1, t.a2, t.a3, t.a4}, {t.b1, t.b2, t.b3, t.b4}, {t.c1, t.c2, t.c3, t.c4}};
    Affine out;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = j == 3 ? parent.m[i][3] : 0;
            for (int k = 0; k < 3; ++k) sum += parent.m[i][k] * local[k][j];
            out.m[i][j] = sum;
        }
    return out;
}

Vertex apply(const Affine& a, const aiVector3D& p) {
    const double x = p.x, y = p.y, z = p.z;
    return {a.m[0][0] * x + a.m[0][1] * y + a.m[0][2] * z + a.m[0][3],
            a.m[1][0] * x + a.m[1][1] * y + a.m[1][2] * z + a.m[1][3],
            a.m[2][0] * x + a.m[2][1] * y + a.m[2][2] * z + a.m[2][3]};
}

constexpr std::size_t mostNodeVisits = std::size_t{1} << 24;

bool appendMesh(const aiMesh* part, unsigned number, const Affine& where, PolygonMesh& mesh, std::string& error) {
    const std::string name = "mesh " + std::to_string(number);
    if (!part || (part->mNumVertices > 0 && !part->mVertices) || (part->mNumFaces > 0 && !part->mFaces)) {
        error = name + " is missing its vertices or faces";
        return false;
    }
    if (part->mNumVertices > viewerCountLimit - mesh.vertices.size()) {
        error = "more than 2147483647 vertices in all: more than the viewer counts";
        return false;
    }
    const auto base = static_cast<std::int32_t>(mesh.vertices.size());
    for (unsigned i = 0; i < part->mNumVertices; ++i) {
        const Vertex p = apply(where, part->mVertices[i]);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = "vertex " + std::to_string(i) + " of " + name + " is not a finite point where its node puts it";
            return false;
        }
        mesh.vertices.push_back(p);
    }
    for (unsigned f = 0; f < part->mNumFaces; ++f) {
        const aiFace& face = part->mFaces[f];
        if (face.mNumIndices > 0 && !face.mIndices) {
            error = "face " + std::to_string(f) + " of " + name + " is missing its corners";
            return false;
        }
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
            if (face.mIndices[k] >= part->mNumVertices) {
                error = "face " + std::to_string(f) + " of " + name + " names vertex " +
                        std::to_string(face.mIndices[k]) + ", past its " + std::to_string(part->mNumVertices);
                return false;
            }
            mesh.corners.push_back(base + static_cast<std::int32_t>(face.mIndices[k]));
        }
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    }
    return true;
}

// Every mesh every node holds, moved by the node's transform and its
// ancestors'. An explicit stack: a deep tree cannot overflow this one.
bool collectMeshes(const aiScene& scene, PolygonMesh& mesh, std::string& error) {
    std::vector<std::pair<const aiNode*, Affine>> stack{{scene.mRootNode, Affine{}}};
    std::size_t visits = 0;
    while (!stack.empty()) {
        const auto [node, parent] = stack.back();
        stack.pop_back();
        if (!node) continue;
        if (++visits > mostNodeVisits) {
            error = "more than " + std::to_string(mostNodeVisits) + " nodes in the scene";
            return false;
        }
        const Affine here = then(parent, node->mTransformation);
        if (node->mNumMeshes > 0 && !node->mMeshes) {
            error = "a node is missing its meshes";
            return false;
        }
        for (unsigned k = 0; k < node->mNumMeshes; ++k) {
            const unsigned m = node->mMeshes[k];
            if (m >= scene.mNumMeshes) {
                error =
                    "a node names mesh " + std::to_string(m) + ", past the scene's " + std::to_string(scene.mNumMeshes);
                return false;
            }
            if (!appendMesh(scene.mMeshes[m], m, here, mesh, error)) return false;
        }
        if (node->mNumChildren > 0 && !node->mChildren) {
            error = "a node is missing its children";
            return false;
        }
        for (unsigned c = node->mNumChildren; c-- > 0;) stack.emplace_back(node->mChildren[c], here);
    }
    return true;
}

}  // namespace

bool importWithAssimp(const std::string& path, PolygonMesh& mesh, std::string& error,
                      const std::function<void(const char*, std::uint64_t)>& opened) {
    Assimp::Importer importer;
    importer.SetIOHandler(new RegularFilesOnly(opened));  // the importer owns it
    const aiScene* scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (!scene) {
        error = oneLine(importer.GetErrorString());
        return false;
    }
    if (scene->mNumMeshes == 0 || !scene->mMeshes || !scene->mRootNode) {
        error = "no mesh in the file: expected at least one face, found none";
        return false;
    }
    mesh = PolygonMesh{};
    if (!collectMeshes(*scene, mesh, error)) return false;
    if (mesh.faceCount() == 0) {
        error = "no node holds a mesh with faces: expected at least one face, found none";
        return false;
    }
    joinIdenticalPositions(mesh);
    return true;
}
