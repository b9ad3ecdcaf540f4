#include "mesh/quoted_token.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr std::size_t shown = 40;
}  // namespace

std::string quoteTokenStart(std::string_view token) {
    std::string quoted = "'";
    for (std::size_t i = 0; i < std::min(token.size(), shown); ++i) {
        const auto c = static_cast<unsigned char>(token[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            quoted += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        }
    }
    return quoted + (token.size() > shown ? "...'" : "'");
}

std::string quoteToken(std::string_view token) {
    if (token.size() > shown) return quoteTokenStart(token) + " (" + std::to_string(token.size()) + " bytes)";
    return quoteTokenStart(token);
}
