// Pictures as PNG files (libpng).
#pragma once

#include <string>

#include "rendering/picture.h"

// `picture` as an 8-bit RGB PNG. False, with libpng's reason in `error`,
// only when memory runs out.
bool encodePng(const Picture& picture, std::string& png, std::string& error);
