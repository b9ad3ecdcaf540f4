// Where a companion finds the program it runs (the viewer, for --show).
#pragma once

#include <string>

// The program `name` beside this program (found through /proc/self/exe, so
// that an installed set and a build folder both work), else the first
// executable `name` in a folder of PATH (an empty entry is the current
// folder, as a shell takes it). Empty when there is none.
std::string findProgram(const std::string& name);
