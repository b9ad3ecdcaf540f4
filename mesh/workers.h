// The few threads a load uses, and the memory of its big tables.
//
// Work is split by index ranges decided before the threads start and every
// result has one writer, so what a load computes does not depend on how many
// threads took part.
#pragma once

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

// [first, last) of part t when `total` items are cut into `count` parts.
inline std::int64_t partBegin(std::int64_t total, int t, int count) { return total * t / count; }

// Memory for `bytes` that std::free releases. Blocks of a few MB and more
// are aligned to 2 MiB and offered to transparent huge pages: a 200 MB face
// table then takes about a hundred page faults instead of fifty thousand,
// which is most of the cost of touching it the first time. Not zeroed.
void* allocateBig(std::size_t bytes);

template <class T>
Table<T> allocateTable(std::int64_t count) {
    if (count <= 0) return nullptr;
    return Table<T>(static_cast<T*>(allocateBig(sizeof(T) * static_cast<std::size_t>(count))));
}
