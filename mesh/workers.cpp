#include "mesh/workers.h"

#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

int availableThreads() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int threadsFor(std::int64_t work, std::int64_t workPerExtraThread, int threads) {
    const std::int64_t deserved = 1 + work / workPerExtraThread;
    return static_cast<int>(std::clamp<std::int64_t>(deserved, 1, std::max(1, threads)));
}

namespace {
std::atomic<bool> hugePages{false};
}  // namespace

void adviseHugePages(bool advise) { hugePages.store(advise, std::memory_order_relaxed); }

void* allocateBig(std::size_t bytes) {
    // The size of a transparent huge page on x86-64; elsewhere the advice
    // still applies, only the alignment may be more than needed.
    constexpr std::size_t hugePage = std::size_t{2} << 20;
    if (!hugePages.load(std::memory_order_relaxed) || bytes < 2 * hugePage) return std::malloc(bytes);
    if (bytes > SIZE_MAX - hugePage) return nullptr;
    const std::size_t rounded = (bytes + hugePage - 1) / hugePage * hugePage;
    void* block = std::aligned_alloc(hugePage, rounded);
    if (block) ::madvise(block, rounded, MADV_HUGEPAGE);  // only advice: without it the block still works
    return block;
}

void populateForWriting(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    static const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t intoPage = reinterpret_cast<std::uintptr_t>(begin) % pageSize;
    ::madvise(static_cast<char*>(begin) - intoPage, bytes + intoPage, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}
