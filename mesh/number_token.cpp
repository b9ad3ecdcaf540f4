#include "mesh/number_token.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// strtod is the reference for what a number token means. It is slow (locale
// look-ups, a copy to add the terminating NUL), so it only sees the tokens
// std::from_chars does not settle: hexadecimal floats, inf/nan spellings and
// results that overflow or underflow.
NumberStatus parseWithStrtod(const char* first, const char* last, double& value) {
    const std::string token(first, last);
    char* stop = nullptr;
    const double parsed = std::strtod(token.c_str(), &stop);
    if (stop != token.c_str() + token.size()) return NumberStatus::notANumber;
    value = parsed;
    return NumberStatus::ok;
}

}  // namespace

NumberStatus parseDoubleToken(const char* first, const char* last, double& value) {
    const char* p = first;
    const bool negative = (*p == '-');
    if (*p == '+' || *p == '-') ++p;
    if (p == last) return NumberStatus::notANumber;

    // from_chars takes neither a sign nor a 0x prefix, and it keeps no NaN
    // payload; anything but plain decimal goes to the reference.
    const bool decimal = isDigit(*p) || (*p == '.' && p + 1 < last && isDigit(p[1]));
    const bool hex = *p == '0' && p + 1 < last && (p[1] == 'x' || p[1] == 'X');
    if (!decimal || hex) return parseWithStrtod(first, last, value);

    double magnitude = 0.0;
    const auto [stop, error] = std::from_chars(p, last, magnitude, std::chars_format::general);
    if (error == std::errc::result_out_of_range) return parseWithStrtod(first, last, value);
    if (error != std::errc{} || stop != last) return NumberStatus::notANumber;
    // Rounding to nearest is symmetric, so negating the rounded magnitude is
    // the rounded negative value; -0 stays negative zero.
    value = negative ? -magnitude : magnitude;
    return NumberStatus::ok;
}

NumberStatus parseIntToken(const char* first, const char* last, std::int32_t& value) {
    const char* p = first;
    const bool negative = (*p == '-');
    if (*p == '+' || *p == '-') ++p;
    if (p == last) return NumberStatus::notANumber;

    // Accumulate the magnitude, saturating just past the 32-bit range so that
    // any number of leading zeros or digits stays well defined.
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; p != last; ++p) {
        if (!isDigit(*p)) return NumberStatus::notANumber;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) magnitude = limit + 1;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < -limit || signedValue > limit - 1) return NumberStatus::outOfRange;
    value = static_cast<std::int32_t>(signedValue);
    return NumberStatus::ok;
}
