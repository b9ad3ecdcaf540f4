// What the text and binary readings of polygon OFF share: the keyword, and
// the readings themselves, which polygon_off.cpp tries in turn.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mesh/polygon_mesh.h"

// [ST][C][N][4][n]OFF: which extra data every vertex record carries.
struct OffKeyword {
    bool texture = false;      // ST: two texture coordinates
    bool colour = false;       // C: an RGBA colour
    bool normal = false;       // N: a normal
    bool homogeneous = false;  // 4: x y z w
    bool dimension = false;    // n: the dimension follows the keyword
    std::size_t length = 0;    // characters of the token the keyword takes

    int coordinates() const { return homogeneous ? 4 : 3; }
    int extraValues() const { return (texture ? 2 : 0) + (colour ? 4 : 0) + (normal ? 3 : 0); }
};

// Whether `token` starts with an OFF keyword; `keyword.length` then says
// where the rest (a glued vertex count, say) starts.
bool parseOffKeyword(std::string_view token, OffKeyword& keyword);

// One reading of the file. `reached` is how far into `bytes` it got, so that
// when every reading fails the message comes from the one that got furthest.
// `outOfMemory`: the counts were fine but their tables could not be had; no
// other reading would fare better.
struct OffAttempt {
    bool ok = false;
    bool outOfMemory = false;
    std::size_t reached = 0;
    std::string error;
};

// The text readings (see polygon_off.h): a pure token stream, or one record
// per line.
OffAttempt readPolygonOffText(std::string_view bytes, std::string_view path, bool recordPerLine, PolygonMesh& mesh);

// Binary OFF in one byte order, with or without a colour count after each
// face's indices, the data starting at `dataStart`, just after the line that
// holds "BINARY"; `headerLine` is that line's number, for messages. Without
// colour counts a face record may be a lone 0, so such a reading must use up
// every byte; with them, bytes after the last face are let be.
OffAttempt readPolygonOffBinary(std::string_view bytes, std::size_t dataStart, long long headerLine,
                                const OffKeyword& keyword, std::string_view path, bool bigEndian, bool colourCount,
                                PolygonMesh& mesh);
