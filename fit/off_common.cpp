#include "fit/off_common.h"

#include <algorithm>
#include <cstdio>

namespace {

bool skipPrefix(std::string_view& rest, std::string_view prefix) {
    if (rest.substr(0, prefix.size()) != prefix) return false;
    rest.remove_prefix(prefix.size());
    return true;
}

}  // namespace

bool parseOffKeyword(std::string_view token, OffKeyword& keyword) {
    std::string_view rest = token;
    OffKeyword k;
    k.texture = skipPrefix(rest, "ST");
    k.colour = skipPrefix(rest, "C");
    k.normal = skipPrefix(rest, "N");
    k.homogeneous = skipPrefix(rest, "4");
    k.dimension = skipPrefix(rest, "n");
    if (!skipPrefix(rest, "OFF")) return false;
    k.length = token.size() - rest.size();
    keyword = k;
    return true;
}

std::string quoteToken(std::string_view token) {
    constexpr std::size_t shown = 40;
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
    if (token.size() > shown) return quoted + "...' (" + std::to_string(token.size()) + " bytes)";
    return quoted + "'";
}
