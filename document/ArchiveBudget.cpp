#include "document/ArchiveBudget.h"

#include "platform/Platform.h"

#include <algorithm>

ArchiveBudget& ArchiveBudget::Shared()
{
    static ArchiveBudget shared([] {
        uint64_t physical = Platform::PhysicalMemoryBytes();
        return physical == 0 ? kFixedCap : std::min(kFixedCap, physical / 4);
    }());
    return shared;
}

std::string ArchiveBudget::Refusal(uint64_t unpacked, uint64_t packed) const
{
    if (unpacked > total)
        return "archive member too large: " + std::to_string(unpacked) +
               " bytes unpacked, over the limit of " + std::to_string(total) + " bytes";
    if (unpacked > kRatioFloor && unpacked / kMaxRatio > packed)
        return "archive member would unpack to more than " + std::to_string(kMaxRatio) +
               " times its packed size";
    return "";
}

ArchiveBudget::Reservation ArchiveBudget::Reserve(uint64_t bytes)
{
    std::unique_lock<std::mutex> lock(mutex);
    ++waiting;
    freed.wait(lock, [&] { return total - used >= bytes; });
    --waiting;
    used += bytes;
    return Reservation(this, bytes);
}

size_t ArchiveBudget::Waiting() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return waiting;
}

void ArchiveBudget::Release(uint64_t bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        used -= bytes;
    }
    freed.notify_all();
}

ArchiveBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget(other.budget), bytes(other.bytes)
{
    other.budget = nullptr;
}

ArchiveBudget::Reservation& ArchiveBudget::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other) {
        if (budget)
            budget->Release(bytes);
        budget = other.budget;
        bytes = other.bytes;
        other.budget = nullptr;
    }
    return *this;
}

ArchiveBudget::Reservation::~Reservation()
{
    if (budget)
        budget->Release(bytes);
}
