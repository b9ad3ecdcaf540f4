// The fast way through the records of a whole text, part of the OFF reader
// (off_reader.cpp drives it; tests include this header to check that it takes
// every well-formed text the reader accepts, and gives the same numbers).
#pragma once

#include "mesh/off_reader.h"

// Parses the records of `body` (the text after the edge count) into the
// tables of `numbers`, which hold vertexCount and 3 * faceCount entries, on
// at most `threads` threads. True when every record is there and well formed;
// false, with the tables partly written, for anything it does not take: the
// sequential reader then goes over the same text and says why.
bool parseRecordsFast(std::string_view body, OffNumbers& numbers, int threads);
