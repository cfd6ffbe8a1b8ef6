#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

// The hash of every string key of the program (paths, names, reference texts, cached questions, a
// state's id). It can be carried on from the state of any prefix, as a parent's path is carried on
// into its children's, yet takes eight bytes at a step: a lookup hashes its key with a chain of
// about one multiply per eight bytes, where a byte at a time waits on one per byte. The value
// depends on the bytes alone, never on how they were split among the calls to Append, nor on the
// platform or the standard library.
class CarriedHash
{
public:
    void Append(std::string_view bytes)
    {
        const char* data = bytes.data();
        size_t size = bytes.size();
        unsigned filled = unsigned(length & 7);
        length += size;
        if (filled) {
            for (; size > 0 && filled < 8; --size, ++filled)
                pending |= uint64_t(static_cast<unsigned char>(*data++)) << (8 * filled);
            if (filled < 8)
                return;
            hash = Mix(hash, pending);
            pending = 0;
        }
        for (; size >= 8; size -= 8, data += 8)
            hash = Mix(hash, LittleEndianWord(data));
        for (unsigned shift = 0; size > 0; --size, shift += 8)
            pending |= uint64_t(static_cast<unsigned char>(*data++)) << shift;
    }

    uint64_t Finish() const { return Mix(Mix(hash, pending), length); }

    static uint64_t Of(std::string_view bytes)
    {
        CarriedHash hash;
        hash.Append(bytes);
        return hash.Finish();
    }

private:
    // For a given state every word leads to a different one: the multiply by an odd number and the
    // shift undo each other's blind spots (low bits reach high ones, then high ones low ones).
    static uint64_t Mix(uint64_t state, uint64_t word)
    {
        state = (state ^ word) * 0x9e3779b97f4a7c15ull;
        return state ^ (state >> 32);
    }

    // The bytes in the order `pending` collects them, on any byte order.
    static uint64_t LittleEndianWord(const char* bytes)
    {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap64(word);
        return word;
    }

    uint64_t hash = 0xcbf29ce484222325ull;
    uint64_t pending = 0; // the last length % 8 bytes, not yet mixed in
    uint64_t length = 0;
};
