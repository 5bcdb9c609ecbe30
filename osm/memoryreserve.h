#ifndef KOLVEX_OSM_MEMORYRESERVE_H
#define KOLVEX_OSM_MEMORYRESERVE_H

#include <atomic>
#include <cstddef>
#include <memory>

/// Spare memory held while code that cannot survive a failed allocation runs. The PBF library's decoding
/// threads leave a buffer pointing at freed memory when growing it fails, and crash on the next write; while
/// a reserve is held, an allocation that would fail frees the reserve instead and succeeds, and the reserve
/// is marked spent, so that the reader stops with an out-of-memory error at its next check. Any thread may
/// spend a reserve; the owner checks it on its own thread.
class MemoryReserve
{
public:
    /// Holds `bytes` of spare memory; throws std::bad_alloc when not even those can be had.
    explicit MemoryReserve(size_t bytes);
    MemoryReserve(const MemoryReserve &) = delete;
    MemoryReserve &operator=(const MemoryReserve &) = delete;
    ~MemoryReserve();

    /// Whether memory ran out and the reserve was given up for it.
    bool spent() const { return isSpent.load(std::memory_order_acquire); }

    /// Gives up one reserve still held; false when none is left. Called when an allocation fails.
    static bool spendOne();

private:
    std::unique_ptr<char[]> block;
    std::atomic<bool> isSpent{false};
    MemoryReserve *next = nullptr; ///< the reserves held form a list, guarded by one lock
};

#endif
