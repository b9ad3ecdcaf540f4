// The viewer's OFF reader: turns the text of a mesh file into numbers, or
// into one line that says where and why the text is not a mesh. (tarvexgl-fit
// reads OFF as other programs write it with formats/polygon_off.h.)
//
// The text is a stream of tokens separated by any white space (blank, tab,
// CR, LF, VT, FF; lines carry no meaning):
//
//   keyword            any word of at most 11 characters, not looked at
//   V F E              vertex count, face count, edge count (ignored)
//   V x y z records    numbers as strtod reads them
//   F n a b c records  four integers: n is never used, a b c are the
//                      zero-based vertex indices of corners 0, 1, 2
//
// The counts decide how much is read; anything after the last face record is
// never looked at. A NUL byte ends the text: no token holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mesh/model.h"

struct OffNumbers {
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    Table<Vertex> vertices;       // vertexCount positions, file order
    Table<std::int32_t> corners;  // vertex index of corner k of face j at 3 * j + k, each below vertexCount
};

// Reads `text`, the whole file or the file up to and including its first NUL
// byte, on at most `threads` threads (the numbers do not depend on how many).
// On malformed text returns false, leaves `numbers` empty, and sets `error`
// to one line without a trailing line break (mesh/off_cursor.h words it):
//   <path>:<line>: <record>: expected <what>, found '<token>'
// (or "found end of file", "found a NUL byte"). The tables are allocated only
// when the bytes before the end of the text, or before its NUL byte, can hold
// the records the counts announce; otherwise the text gets the line it
// deserves with memory bounded by its length.
bool readOffText(std::string_view text, std::string_view path, OffNumbers& numbers, std::string& error, int threads);

// The longest token read from a stream: a longer one is refused, so that an
// endless run of digits cannot grow memory.
constexpr std::size_t maxStreamToken = 65536;

// Reads from `fd` (a pipe, FIFO or character device) as readOffText reads a
// text, and only as far as needed: reading stops once the last face record
// is complete, or at the first token that is wrong, without waiting for the
// writer to close. The tables grow with the records that have arrived, never
// beyond what the counts announce. A token longer than maxStreamToken gets
//   <path>:<line>: <record>: expected <what>, found '<start>...' (more than 65536 bytes)
bool readOffStream(int fd, std::string_view path, OffNumbers& numbers, std::string& error);
