// tarvexgl-fit's one line on standard error, whatever the names in it hold,
// and how such a line gives a size.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The pieces one after another, behind "tarvexgl-fit: ", with every control
// character shown as \xNN: the bytes below 0x20 (line feed, carriage return,
// escape, ...) and 0x7f, the C1 controls U+0080..U+009F as UTF-8 writes them,
// and any byte of 0x80 or more that is not part of a well-formed UTF-8
// character (a terminal in another encoding could take it for a C1 control).
// Well-formed UTF-8 stays as it is, so that names in any script show.
std::string escapedLine(std::initializer_list<std::string_view> pieces);

// Writes the same, and a line feed, to standard error in one write where
// the line fits in 4 KiB. Allocates nothing, so that it can also report that
// memory ran out.
void printErrorLine(std::initializer_list<std::string_view> pieces);

// A size of file or memory as a line gives it: "512 bytes", "20 KiB" or
// "545 MiB" (whole units, from ten of them).
std::string sizeInWords(std::uint64_t bytes);
