// process: what a companion program (tarvexgl-fit, tarvexgl-shot) does with
// the system around it: its one error line, its command line, the viewer and
// the limited children it runs, where it finds the viewer and keeps a
// temporary file. Each of these jobs lives here once, for both programs.
//
// This file: the one line on standard error, whatever the names in it hold,
// and how such a line gives a size.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The program every line is from, "tarvexgl-fit" or "tarvexgl-shot": set
// once, first thing in main. `name` must live as long as the program.
void setProgramName(const char* name);
const char* programName();

// Writes programName(), ": " and the pieces one after another, and a line
// feed, to standard error, with every control character shown as \xNN: the
// bytes below 0x20 (line feed, carriage return, escape, ...) and 0x7f, the C1
// controls U+0080..U+009F as UTF-8 writes them, and any byte of 0x80 or more
// that is not part of a well-formed UTF-8 character (a terminal in another
// encoding could take it for a C1 control). Well-formed UTF-8 stays as it is,
// so that names in any script show. One write where the line fits in 4 KiB;
// allocates nothing, so that it can also report that memory ran out.
void printErrorLine(std::initializer_list<std::string_view> pieces);

// A size of file or memory as a line gives it: "512 bytes", "20 KiB" or
// "545 MiB" (whole units, from ten of them).
std::string sizeInWords(std::uint64_t bytes);
