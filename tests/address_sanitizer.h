// Whether this test was built with the address sanitizer. Its shadow memory
// does not fit under a limit on address space (RLIMIT_AS), so the tests that
// set one skip or leave out the limit then. GCC says so with
// __SANITIZE_ADDRESS__, clang only through __has_feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool addressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool addressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool addressSanitizer = false;
#endif
