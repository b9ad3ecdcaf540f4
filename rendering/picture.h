// A picture as it is saved: 8-bit RGB, rows from the top, no padding.
#pragma once

#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // width * height * 3 bytes, the top row first
};
