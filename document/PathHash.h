#pragma once

#include <cstdint>
#include <string_view>

// 64-bit FNV-1a over the bytes of a path. Stable across runs and standard libraries, because
// the GUI scopes the ids of its rows by it.
inline uint64_t PathHash(std::string_view path)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}
