// The OFF reader: turns the text of a mesh file into a Model.
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
// never looked at.
#pragma once

#include <string>
#include <string_view>

#include "mesh/model.h"

// Fills `model` from `text`, computing face and corner normals. On malformed
// text returns false, leaves `model` empty, and sets `error` to one line
// without a trailing line break:
//   <path>:<line>: <record>: expected <what>, found '<token>'
// (or "found end of file", "found a NUL byte"). Never allocates more than the
// counts justify, and checks before allocating that the text is long enough
// to hold that many records.
bool buildModel(std::string_view text, std::string_view path, Model& model, std::string& error);

// The same on at most `threads` threads; the model does not depend on how many.
bool buildModel(std::string_view text, std::string_view path, Model& model, std::string& error, int threads);

// buildModel in two steps, for the Model constructor, which lets go of the
// text as soon as it is read, and for the benchmarks, which time them.
//
// readModelNumbers reads the header, allocates both tables and reads every
// record: the vertices into the vertex table, and the vertex indices of face
// j's corners into corners[3 * j + k], a table of its own, so that the face
// table is first touched, and written once, by fillModelFaces, which fills in
// the faces and their normals (fillFaceTable). Both fail as buildModel does
// (fillModelFaces only when its scratch memory cannot be had), leaving
// `model` empty.
bool readModelNumbers(std::string_view text, std::string_view path, Model& model, Table<std::int32_t>& corners,
                      std::string& error, int threads);
bool fillModelFaces(std::string_view path, Model& model, const std::int32_t* corners, std::string& error, int threads);

// Whether the last readModelNumbers or buildModel on this thread read the
// records the fast way (true), or handed them to the sequential reader, which
// is slower but gives the messages. For tests: a well-formed file should never
// need the sequential reader.
bool lastReadWasFast();
