#include "formats/text_scan.h"

#include <algorithm>

#include "mesh/quoted_token.h"

namespace {

bool endsToken(char c) { return isBlank(c) || c == '\n' || c == '\0'; }

std::string_view takeToken(TextScan& scan) {
    const char* first = scan.p;
    while (scan.p != scan.end && !endsToken(*scan.p)) ++scan.p;
    // A NUL byte is a token of its own, so that a message can name it.
    if (scan.p == first && scan.p != scan.end && *scan.p == '\0') ++scan.p;
    return {first, static_cast<std::size_t>(scan.p - first)};
}

}  // namespace

std::string_view tokenOnLine(TextScan& scan) {
    while (scan.p != scan.end && isBlank(*scan.p)) ++scan.p;
    if (scan.p == scan.end || *scan.p == '\n') return {scan.p, scan.p};
    return takeToken(scan);
}

std::string_view nextToken(TextScan& scan) {
    while (scan.p != scan.end && (isBlank(*scan.p) || *scan.p == '\n')) ++scan.p;
    if (scan.p == scan.end) return {scan.p, scan.p};
    return takeToken(scan);
}

void skipLine(TextScan& scan) {
    scan.p = std::find(scan.p, scan.end, '\n');
    if (scan.p != scan.end) ++scan.p;
}

long long lineAt(const TextScan& scan, const char* at) {
    if (at == scan.end)
        while (at != scan.begin && (isBlank(at[-1]) || at[-1] == '\n')) --at;
    return 1 + std::count(scan.begin, at, '\n');
}

std::string foundAt(const TextScan& scan, const char* at) {
    if (at == scan.end) return "end of file";
    if (*at == '\n') return "end of line";
    if (*at == '\0') return "a NUL byte";
    TextScan rest{scan.begin, at, scan.end};
    return quoteToken(takeToken(rest));
}

bool sameWord(std::string_view token, std::string_view word) {
    return token.size() == word.size() && std::equal(token.begin(), token.end(), word.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
           });
}
