#include "mesh/workers.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

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

struct Helper {
    pthread_t thread;
    void (*call)(const void*, int);
    const void* part;
    int t;
};

void* runHelper(void* helper) {
    const auto* h = static_cast<const Helper*>(helper);
    h->call(h->part, h->t);
    return nullptr;
}

}  // namespace

// pthread_create rather than std::thread: a thread that cannot start is an
// error code here, not an exception, and the part it would have run is done
// on the calling thread instead.
void runPartsOn(int count, void (*call)(const void* part, int t), const void* part) {
    Table<Helper> helpers = allocateTable<Helper>(count - 1);
    int started = 0;
    if (helpers)
        for (; started < count - 1; ++started) {
            Helper& h = helpers[started];
            h = Helper{{}, call, part, started + 1};
            if (pthread_create(&h.thread, nullptr, runHelper, &h) != 0) break;
        }
    call(part, 0);
    for (int t = started + 1; t < count; ++t) call(part, t);
    for (int i = 0; i < started; ++i) pthread_join(helpers[i].thread, nullptr);
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
