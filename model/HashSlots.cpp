#include "model/HashSlots.h"

#include <stdexcept>

void HashSlots::Grow()
{
    Rehash(bits == 0 ? 4 : bits + 1);
}

void HashSlots::Reserve(size_t expected)
{
    unsigned newBits = bits == 0 ? 4 : bits;
    while (newBits <= 32 && (expected + 1) * 2 > (size_t(1) << newBits))
        ++newBits;
    if (newBits != bits)
        Rehash(newBits);
}

void HashSlots::Rehash(unsigned newBits)
{
    if (newBits > 32)
        throw std::length_error("Too many names to index.");
    TableVector<uint64_t> old = std::move(slots);
    slots.assign(size_t(1) << newBits, 0);
    bits = newBits;
    for (uint64_t slot : old) {
        if (slot == 0)
            continue;
        size_t i = Home(uint32_t(slot >> 32));
        while (slots[i] != 0)
            i = (i + 1) & Mask();
        slots[i] = slot;
    }
}
