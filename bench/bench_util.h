// Small helpers the benchmarks share: a clock, medians, and running a
// measurement in a child process of its own.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Half the spread between the fastest and slowest run, relative to the median.
inline double spread(const std::vector<double>& values) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return (*high - *low) / 2 / median(values);
}

// Runs measure() in a fresh child process and returns the record it wrote,
// so that every run starts from an empty heap and pays for its own page
// faults. Ends the benchmark if the child fails.
template <class Record, class Measure>
Record inChild(const Measure& measure, const char* what) {
    int channel[2];
    if (::pipe(channel) != 0) std::exit(2);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) std::exit(2);
    if (child == 0) {
        ::close(channel[0]);
        const Record record = measure();
        const bool written = ::write(channel[1], &record, sizeof record) == static_cast<ssize_t>(sizeof record);
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    Record record{};
    const bool read = ::read(channel[0], &record, sizeof record) == static_cast<ssize_t>(sizeof record);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "benchmark: %s failed\n", what);
        std::exit(2);
    }
    return record;
}
