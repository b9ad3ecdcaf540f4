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
