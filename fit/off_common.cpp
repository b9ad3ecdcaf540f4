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
