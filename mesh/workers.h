// The few threads a load uses, and the memory of its big tables.
//
// Work is split by index ranges decided before the threads start and every
// result has one writer, so what a load computes does not depend on how many
// threads took part, nor on how many of them the system let start.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "mesh/table.h"

// The processors this process may run on (what nproc prints), at least 1.
int availableThreads();

// How many threads `work` units deserve when each extra thread must bring at
// least `workPerExtraThread` units with it: a thread that starts late on a
// busy machine costs more than a small share saves. At most `threads`.
int threadsFor(std::int64_t work, std::int64_t workPerExtraThread, int threads);

// Calls call(part, t) for t = 0 .. count - 1: part 0 on the calling thread,
// the others each on a thread of its own when the system lets one start
// (a process limit, or no memory for its stack, may not), and the rest on
// the calling thread after part 0. Returns when all are done; never throws.
void runPartsOn(int count, void (*call)(const void* part, int t), const void* part);

// runPartsOn for any callable: part(t) for t = 0 .. count - 1.
template <class Part>
void runParts(int count, const Part& part) {
    runPartsOn(
        count, [](const void* p, int t) { (*static_cast<const Part*>(p))(t); }, &part);
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

// Faults in the pages of [begin, begin + bytes) for writing, in one call
// rather than one fault per page; on a kernel without it, the pages fault
// in when written as usual.
void populateForWriting(void* begin, std::size_t bytes);

// A table of `count` records, not zeroed; null when count is 0 or less, or
// when the memory cannot be had.
template <class T>
Table<T> allocateTable(std::int64_t count) {
    if (count <= 0 || static_cast<std::uint64_t>(count) > SIZE_MAX / sizeof(T)) return nullptr;
    return Table<T>(static_cast<T*>(std::malloc(sizeof(T) * static_cast<std::size_t>(count))));
}

// For tables that are written all through right away: their pages are
// faulted in up front, in one call.
template <class T>
Table<T> allocateWrittenTable(std::int64_t count) {
    Table<T> table = allocateTable<T>(count);
    if (table) populateForWriting(table.get(), sizeof(T) * static_cast<std::size_t>(count));
    return table;
}
