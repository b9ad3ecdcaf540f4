// Tables: malloc'd arrays of trivial records, freed with std::free.
//
// The load writes every field of every record it hands out, so nothing is
// zeroed twice, and a table that cannot be had is a null pointer rather than
// an exception.
#pragma once

#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

template <class T>
using Table = std::unique_ptr<T[], FreeDeleter>;
