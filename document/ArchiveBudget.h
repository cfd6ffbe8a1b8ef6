#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

// How much archive members may unpack, shared by every loading worker of the process: a member is
// refused when it would grow more than `kMaxRatio` times its packed size (beyond `kRatioFloor`
// bytes) or when it alone exceeds the whole budget; a member that fits waits until the members
// being unpacked and parsed by other workers leave room for it. A few small archives can then
// never claim more memory than the budget, however far they inflate.
class ArchiveBudget
{
public:
    static constexpr uint64_t kMaxRatio = 200;
    static constexpr uint64_t kRatioFloor = uint64_t(16) << 20;
    static constexpr uint64_t kFixedCap = uint64_t(16) << 30;

    // The process's budget: the smaller of kFixedCap and a quarter of physical memory.
    static ArchiveBudget& Shared();

    explicit ArchiveBudget(uint64_t totalBytes) : total(totalBytes) {}
    ArchiveBudget(const ArchiveBudget&) = delete;
    ArchiveBudget& operator=(const ArchiveBudget&) = delete;

    // Holds its bytes until destroyed; empty when moved from or default made.
    class Reservation
    {
    public:
        Reservation() = default;
        Reservation(ArchiveBudget* budget, uint64_t bytes) : budget(budget), bytes(bytes) {}
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        ~Reservation();

    private:
        ArchiveBudget* budget = nullptr;
        uint64_t bytes = 0;
    };

    // Why a member of `unpacked` bytes stored in `packed` bytes is refused; empty when it may be
    // unpacked.
    std::string Refusal(uint64_t unpacked, uint64_t packed) const;

    // Waits until `bytes` fit beside the others' reservations. `bytes` must not be refused.
    Reservation Reserve(uint64_t bytes);

    uint64_t Total() const { return total; }
    size_t Waiting() const; // workers blocked in Reserve, for tests

private:
    void Release(uint64_t bytes);

    const uint64_t total;
    mutable std::mutex mutex;
    std::condition_variable freed;
    uint64_t used = 0;
    size_t waiting = 0;
};
