// A digest of what a load produced, so that contenders claiming to build the
// same tables can be checked to have built the same bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bench/contenders.h"
#include "mesh/model.h"

// FNV-1a over 4-byte words: fast enough to run over a 200 MB face table
// between timed runs.
inline void digestBytes(Digest& digest, const void* data, std::size_t size) {
    std::uint64_t h = digest.value;
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        std::uint32_t word;
        std::memcpy(&word, bytes + i, 4);
        h = (h ^ word) * 0x100000001b3u;
    }
    for (; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3u;
    digest.value = h;
}

// Every field of both tables; not the padding inside Face, which no one writes.
inline Digest digestModel(const Model& model) {
    Digest digest{0xcbf29ce484222325u};
    digestBytes(digest, model.vertices.get(), sizeof(Vertex) * static_cast<std::size_t>(model.vertexCount));
    for (std::int32_t j = 0; j < model.faceCount; ++j) {
        const Face& face = model.faces[j];
        digestBytes(digest, face.cornerPosition, sizeof face.cornerPosition);
        digestBytes(digest, face.vertexIndex, sizeof face.vertexIndex);
        digestBytes(digest, face.faceNormal, sizeof face.faceNormal);
        digestBytes(digest, face.cornerNormal, sizeof face.cornerNormal);
    }
    return digest;
}
