// Conversion of one whitespace-free token to a number.
//
// A token is accepted exactly when the C library would convert all of it:
// parseDoubleToken accepts what strtod (and so "%lf") consumes to the last
// character, and gives the very same double, bit for bit; parseIntToken
// accepts an optional sign and decimal digits whose value fits in a signed
// 32-bit integer, as "%d" reads them.
#pragma once

#include <cstdint>

enum class NumberStatus {
    ok,
    notANumber,  // the token is not (all of it) a number of the kind asked for
    outOfRange,  // an integer token whose value does not fit in 32 bits
};

// [first, last) is one token: non-empty, no white space inside.
NumberStatus parseDoubleToken(const char* first, const char* last, double& value);
NumberStatus parseIntToken(const char* first, const char* last, std::int32_t& value);
