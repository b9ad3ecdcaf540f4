// The check every fuzz target makes besides its own: while the code it
// drives runs, no single allocation may exceed what the input's length can
// justify. The sanitizer runtimes provide the hook; in a build without one
// (the replay tests' plain build) nothing is checked.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                                         void (*freeHook)(const volatile void*)) __attribute__((weak));
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));
// NOLINTEND(bugprone-reserved-identifier)

// The largest allocation allowed, set by the target around the code it
// checks; 0: nothing is checked.
inline std::size_t allocationLimit = 0;
inline const char* allocationCheckTarget = "fuzz";  // names the target in the report

inline void checkAllocation(const volatile void* /*block*/, std::size_t size) {
    if (allocationLimit == 0 || size <= allocationLimit) return;
    const std::size_t limit = allocationLimit;
    allocationLimit = 0;  // what follows may allocate
    std::fprintf(stderr, "%s: allocation of %zu bytes, more than the %zu this input justifies\n", allocationCheckTarget,
                 size, limit);
    if (__sanitizer_print_stack_trace) __sanitizer_print_stack_trace();
    std::abort();
}

inline void ignoreFree(const volatile void* /*block*/) {}

// Installs the check, once in a process; `target` names it in the report.
inline void installAllocationCheck(const char* target) {
    allocationCheckTarget = target;
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                               __sanitizer_install_malloc_and_free_hooks(checkAllocation, ignoreFree);
    static_cast<void>(hooked);
}
