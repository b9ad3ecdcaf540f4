// White space in an OFF text: what the C locale's isspace takes, and so what
// scanf skips between tokens: blank, tab, LF, VT, FF and CR.
#pragma once

#include <array>

inline constexpr std::array<bool, 256> offSpaceTable = [] {
    std::array<bool, 256> table{};
    for (const unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = true;
    return table;
}();

inline bool isOffSpace(char c) { return offSpaceTable[static_cast<unsigned char>(c)]; }
