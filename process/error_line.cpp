#include "process/error_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace {

// Until main names the program: the family's name, so that a line printed
// before then still says where it came from.
const char* thisProgram = "tarvexgl";

// The length of the well-formed UTF-8 character at the start of `s` (2 to
// 4 bytes), or 0 when there is none, or when it is a C1 control.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0U; };
    const unsigned lead = byte(0);
    const auto continues = [&](std::size_t i, unsigned low, unsigned high) {
        return byte(i) >= low && byte(i) <= high;
    };
    if (lead >= 0xc2 && lead <= 0xdf) return continues(1, lead == 0xc2 ? 0xa0 : 0x80, 0xbf) ? 2 : 0;
    if (lead >= 0xe0 && lead <= 0xef) {
        const unsigned low = lead == 0xe0 ? 0xa0 : 0x80,
                       high = lead == 0xed ? 0x9f : 0xbf;  // no overlongs, no surrogates
        return continues(1, low, high) && continues(2, 0x80, 0xbf) ? 3 : 0;
    }
    if (lead >= 0xf0 && lead <= 0xf4) {
        const unsigned low = lead == 0xf0 ? 0x90 : 0x80, high = lead == 0xf4 ? 0x8f : 0xbf;
        return continues(1, low, high) && continues(2, 0x80, 0xbf) && continues(3, 0x80, 0xbf) ? 4 : 0;
    }
    return 0;
}

// Calls put(text) for the escaped pieces, in runs of plain text and escapes.
template <class Put>
void escape(std::string_view text, Put put) {
    constexpr char hex[] = "0123456789abcdef";
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t plain = 0;
        if (c >= 0x20 && c < 0x7f) plain = 1;
        else if (c >= 0x80)
            plain = utf8Length(text.substr(i));
        if (plain > 0) {
            put(text.substr(i, plain));
            i += plain;
            continue;
        }
        const char escaped[4] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
        put(std::string_view(escaped, 4));
        ++i;
    }
}

}  // namespace

void setProgramName(const char* name) { thisProgram = name; }

const char* programName() { return thisProgram; }

void printErrorLine(std::initializer_list<std::string_view> pieces) {
    char buffer[4096];
    std::size_t used = 0;
    const auto flush = [&] {
        for (std::size_t done = 0; done < used;) {
            const ssize_t n = ::write(STDERR_FILENO, buffer + done, used - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        used = 0;
    };
    const auto put = [&](std::string_view s) {
        if (used + s.size() > sizeof buffer) flush();
        for (const char c : s) buffer[used++] = c;  // at most 4 bytes: always fits after a flush
    };
    escape(thisProgram, put);
    put(": ");
    for (const std::string_view piece : pieces) escape(piece, put);
    put("\n");
    flush();
}

std::string sizeInWords(std::uint64_t bytes) {
    if (bytes >= std::uint64_t{10} << 20) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= std::uint64_t{10} << 10) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}
