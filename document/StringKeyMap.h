#pragma once

#include "document/CarriedHash.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

// Hashes std::string, std::string_view and C strings alike, so that a map keyed by std::string
// is searched with a view and no temporary key string.
struct StringKeyHash
{
    using is_transparent = void;
    size_t operator()(std::string_view key) const noexcept { return CarriedHash::Of(key); }
};

// The caches of query answers: exact keys only, never iterated in order, so a hash map serves
// each repeated question without comparing long shared path prefixes level by level.
template <class Value>
using StringKeyMap = std::unordered_map<std::string, Value, StringKeyHash, std::equal_to<>>;
