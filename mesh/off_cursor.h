// Where an OFF reader stands in a file, and the one line it gives when the
// file is not what it expected. The viewer's reader (mesh/off_reader.h) and
// tarvexgl-fit's (formats/polygon_off.h) both stand on it, so that a fault reads
// the same in both:
//
//   <path>:<line>: <record>: expected <what>, found <what>
//   <path>:<line>: <record> (big-endian binary, byte <n>): expected ..., found ...
//   <path>: not enough memory for <V> vertices and <F> faces
//
// What was found is a token as quoteToken shows it, "end of file" or "a NUL
// byte". The end of the file is on the file's last line: a line break that
// ends the file does not start another line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class OffRecord { keyword, dimension, vertexCount, faceCount, edgeCount, vertex, face, afterFaces };

// Binary data has no lines: its messages name the line that says BINARY,
// the byte order and the byte.
struct OffBinary {
    long long headerLine;
    bool bigEndian;
};

struct OffCursor {
    std::string_view path;
    std::string& error;  // where the failure line goes
    const char* begin;   // the first byte held
    const char* p;       // the next byte to read; after a failure, at least where the fault is
    const char* end;
    long long linesBefore = 0;          // line breaks in the bytes of a stream no longer held
    const OffBinary* binary = nullptr;  // set while binary data is read
    // What is being read, for messages only: vertex and face records are
    // named "vertex <index> of <count>".
    OffRecord record = OffRecord::keyword;
    std::int64_t index = 0;
    std::int64_t count = 0;
};

// Sets the cursor's error to the line for a fault at `at` (a byte the cursor
// holds, or its end) and returns false.
bool failAt(OffCursor& c, const char* at, std::string_view expected, std::string_view found);

// `token` is one token of the cursor's bytes, already cut out by the reader.
// Each of these converts it, or fails at it with the line for what it is not:
//   takeInteger      an integer in -2147483648..2147483647
//   takeCount        ... that is 0 or more
//   takeVertexIndex  ... that names one of `vertexCount` vertices
//   takeNumber       a number as strtod reads it (infinities and NaNs too)
bool takeInteger(OffCursor& c, std::string_view token, std::int32_t& value);
bool takeCount(OffCursor& c, std::string_view token, std::int32_t& count);
bool takeVertexIndex(OffCursor& c, std::string_view token, std::int32_t vertexCount, std::int32_t& index);
bool takeNumber(OffCursor& c, std::string_view token, double& value);

// The same checks on an integer a binary file holds as a word at `at`.
bool checkCount(OffCursor& c, const char* at, std::int32_t count);
bool checkVertexIndex(OffCursor& c, const char* at, std::int32_t vertexCount, std::int32_t index);

// The counts of a header, and where each was found.
struct OffCounts {
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    const char* vertexCountAt = nullptr;
    const char* faceCountAt = nullptr;
};

// Whether `room` bytes can hold the records the counts announce, when a
// vertex record takes at least `vertexBytes` and a face record at least
// `faceBytes`. A file too short for its counts must not have them size an
// allocation.
bool roomHolds(std::uint64_t room, const OffCounts& counts, unsigned vertexBytes, unsigned faceBytes);

// roomHolds, or the line for the count that asks too much:
//   vertex count: expected at most <n> vertices in the <room> bytes that follow the header, found '<V>'
bool checkRoom(OffCursor& c, std::uint64_t room, const OffCounts& counts, unsigned vertexBytes, unsigned faceBytes);

// Sets `error` to the line for tables that cannot be had. It appends to
// `error`, so once the caller has reserved room in it (the path and some 64
// bytes) the line needs no memory of its own.
void setOutOfMemory(std::string& error, std::string_view path, std::int32_t vertexCount, std::int32_t faceCount);
