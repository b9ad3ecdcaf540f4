// The few threads a load uses, and the memory of its big tables.
//
// Work is split by index ranges decided before the threads start and every
// result has one writer, so what a load computes does not depend on how many
// threads took part.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "mesh/model.h"

// The processors this process may run on (what nproc prints), at least 1.
int availableThreads();

// How many threads `work` units deserve when each extra thread must bring at
// least `workPerExtraThread` units with it: a thread that starts late on a
// busy machine costs more than a small share saves. At most `threads`.
int threadsFor(std::int64_t work, std::int64_t workPerExtraThread, int threads);

// Calls part(t) for t = 0 .. count - 1, part 0 on the calling thread and the
// others each on a thread of its own, and returns when all are done.
template <class Part>
void runParts(int count, const Part& part) {
    std::vector<std::thread> helpers;
    for (int t = 1; t < count; ++t) helpers.emplace_back([&part, t] { part(t); });
    part(0);
    for (std::thread& helper : helpers) helper.join();
}

// Calls work(i) once for every i in [0, items), on `threads` threads that
// take the next item as they become free: a thread that the system keeps
// waiting (the machine is shared) holds up one item, not a fixed share.
template <class Work>
void shareOut(int threads, std::int64_t items, const Work& work) {
    std::atomic<std::int64_t> next{0};
    runParts(static_cast<int>(std::min<std::int64_t>(threads, items)), [&](int) {
        for (std::int64_t i = next++; i < items; i = next++) work(i);
    });
}

// [first, last) of part t when `total` items are cut into `count` parts.
inline std::int64_t partBegin(std::int64_t total, int t, int count) { return total * t / count; }

// Memory for `bytes` that std::free releases; not zeroed.
void* allocateBig(std::size_t bytes);

// From now on, allocateBig aligns blocks of a few MB and more to 2 MiB and
// offers them to transparent huge pages. A 200 MB face table then takes a
// hundred page faults instead of fifty thousand, and a load run right after
// another is about a fifth faster. It is off by default because a fresh huge
// page can cost far more than the faults it saves: under a hypervisor that
// takes back free guest memory (free page reporting), a 2 MiB block that sat
// free for a few seconds has to be supplied and cleared again by the host,
// and a mesh loaded after a pause, which is how a viewer loads one, took two
// to three times as long (see docs/performance.md).
void adviseHugePages(bool advise);

// Faults in the pages of [begin, begin + bytes) for writing, in one call
// rather than one fault per page; on a kernel without it, the pages fault
// in when written as usual.
void populateForWriting(void* begin, std::size_t bytes);

template <class T>
Table<T> allocateTable(std::int64_t count) {
    if (count <= 0) return nullptr;
    return Table<T>(static_cast<T*>(allocateBig(sizeof(T) * static_cast<std::size_t>(count))));
}

// For tables that are written all through right away: their pages are
// faulted in up front, in one call.
template <class T>
Table<T> allocateWrittenTable(std::int64_t count) {
    Table<T> table = allocateTable<T>(count);
    if (table) populateForWriting(table.get(), sizeof(T) * static_cast<std::size_t>(count));
    return table;
}
