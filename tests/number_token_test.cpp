// parseDoubleToken and parseIntToken against the C library, token by token:
// every token must be accepted exactly when strtod/strtol consume all of it,
// and give the same bits.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "mesh/number_token.h"

namespace {

std::uint64_t bitsOf(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

void checkDoubleAgainstStrtod(const std::string& token) {
    char* stop = nullptr;
    const double expected = std::strtod(token.c_str(), &stop);
    const bool expectAccepted = !token.empty() && stop == token.c_str() + token.size();
    double value = 12345.0;
    const NumberStatus status = parseDoubleToken(token.data(), token.data() + token.size(), value);
    ASSERT_EQ(status == NumberStatus::ok, expectAccepted) << "token '" << token << "'";
    if (expectAccepted) {
        EXPECT_EQ(bitsOf(value), bitsOf(expected))
            << "token '" << token << "': parsed " << value << ", strtod gives " << expected;
    }
}

void checkIntAgainstStrtol(const std::string& token) {
    errno = 0;
    char* stop = nullptr;
    const long expected = std::strtol(token.c_str(), &stop, 10);
    const bool whole = !token.empty() && stop == token.c_str() + token.size();
    const bool inRange = errno == 0 && expected >= INT32_MIN && expected <= INT32_MAX;
    std::int32_t value = 0;
    const NumberStatus status = parseIntToken(token.data(), token.data() + token.size(), value);
    if (!whole) {
        EXPECT_EQ(status, NumberStatus::notANumber) << "token '" << token << "'";
    } else if (!inRange) {
        EXPECT_EQ(status, NumberStatus::outOfRange) << "token '" << token << "'";
    } else {
        ASSERT_EQ(status, NumberStatus::ok) << "token '" << token << "'";
        EXPECT_EQ(value, expected) << "token '" << token << "'";
    }
}

TEST(DoubleToken, EdgeTokensMatchStrtod) {
    const char* tokens[] = {
        "0", "-0", "+0", "-0.0", "1", "-1", "+1", "1.", ".5", "-.5", "+.5e1", "0.1", "1e5", "1E5", "1e+05", "1e-005",
        "8.0371899999999995e-008", "-0.07550900000000001", "3.5e2", "007",
        // overflow to infinity and underflow to zero or a subnormal, as strtod rounds them
        "1e308", "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308", "1e309", "-1e309",
        "2.2250738585072014e-308", "2.2250738585072011e-308", "4.9406564584124654e-324", "2.4703282292062328e-324",
        "2.4703282292062327e-324", "1e-400", "-1e-400",
        // halfway cases and long inputs
        "9007199254740993", "9007199254740992.5", "0.30000000000000004441",
        "1.00000000000000011102230246251565404236316680908203125",
        "1.00000000000000011102230246251565404236316680908203124", "123456789012345678901234567890e-30",
        "0.000000000000000000000000000000000000000000000000000000000000001",
        // hexadecimal floats and the words
        "0x1p3", "0X1P-3", "-0x1.8p1", "0x.8p1", "0xAbC", "0x1p-1074", "0x1p-1075", "0x1p1024", "inf", "INF", "-Inf",
        "infinity", "+INFINITY", "nan", "NaN", "-nan", "nan(123)", "nan()", "NAN(0x7)",
        // not numbers, or not all of the token
        "", "+", "-", ".", "e5", "1e", "1e+", "1e5x", "--1", "+-1", "-+1", "1..2", "1.2.3", "0x", "0xg", "0x1p", "0x-1",
        "inf1", "infinit", "nan(", "nan(1", "abc", "1,5", "1_0", "١", "0b1", "1d5", "+inf+"};
    for (const char* token : tokens) checkDoubleAgainstStrtod(token);
}

TEST(DoubleToken, RandomTokensMatchStrtod) {
    std::mt19937_64 random(20261208);
    auto digits = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('0' + random() % 10);
        return s;
    };
    // Prefixes are chars, not one-letter literals: GCC 12 at -O3 takes
    // "x" + std::string for an overlapping copy (-Wrestrict).
    for (int i = 0; i < 300000; ++i) {
        std::string token;
        switch (random() % 5) {
            case 0: {  // well-formed decimal numbers, short and long, any exponent
                if (random() % 3 == 0) token += "-+"[random() % 2];
                token += digits(static_cast<int>(random() % 20));
                if (random() % 2) token += '.' + digits(static_cast<int>(random() % 25));
                if (token.empty() || token == "-" || token == "+" || token.back() == '.') token += "5";
                if (random() % 2) token += "eE"[random() % 2] + std::to_string(static_cast<int>(random() % 700) - 350);
                break;
            }
            case 1: {  // the exact decimal form of a random double, and its neighbours
                std::uint64_t bits = random();
                double d;
                std::memcpy(&d, &bits, sizeof d);
                if (!std::isfinite(d)) d = 1.5;
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%.*g", 15 + static_cast<int>(random() % 4), d);
                token = buffer;
                break;
            }
            case 2: {  // hexadecimal
                token = std::string(random() % 2 ? "-" : "") + "0x" + digits(1 + static_cast<int>(random() % 8));
                if (random() % 2) token += 'p' + std::to_string(static_cast<int>(random() % 2200) - 1100);
                break;
            }
            default: {  // noise from the characters numbers are made of
                const char alphabet[] = "0123456789+-.eExXpPaAfFiInN()";
                const int length = 1 + static_cast<int>(random() % 8);
                for (int c = 0; c < length; ++c) token += alphabet[random() % (sizeof alphabet - 1)];
                break;
            }
        }
        checkDoubleAgainstStrtod(token);
        if (HasFatalFailure()) return;
    }
}

TEST(IntToken, EdgeTokensMatchStrtol) {
    const char* tokens[] = {
        // in range, with signs and leading zeros
        "0", "-0", "+0", "3", "+3", "-3", "0003", "2147483647", "-2147483648", "000000000000000000000000000000042",
        // outside 32 bits
        "2147483648", "-2147483649", "4294967296", "353535235358", "99999999999999999999999999",
        "-99999999999999999999999999",
        // not integers
        "", "+", "-", "--1", "+-1", "2.0", "1e3", "0x10", "12a", "a12", "3,"};
    for (const char* token : tokens) checkIntAgainstStrtol(token);
}

TEST(IntToken, RandomTokensMatchStrtol) {
    std::mt19937_64 random(42);
    const char alphabet[] = "0123456789+-.e";
    for (int i = 0; i < 200000; ++i) {
        std::string token;
        const int length = 1 + static_cast<int>(random() % 14);
        const std::size_t letters = random() % 4 == 0 ? sizeof alphabet - 1 : 10;
        if (random() % 3 == 0) token += "+-"[random() % 2];
        for (int c = 0; c < length; ++c) token += alphabet[random() % letters];
        checkIntAgainstStrtol(token);
    }
}

}  // namespace
