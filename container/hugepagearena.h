#ifndef KOLVEX_CONTAINER_HUGEPAGEARENA_H
#define KOLVEX_CONTAINER_HUGEPAGEARENA_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

/// Memory for large tables that are filled once and kept as long as the arena: handed out in pieces
/// carved from regions of 2 MB aligned to 2 MB, which Linux is asked to back with huge pages. Filling
/// a table of a hundred megabytes then takes some fifty page faults instead of twenty-five thousand,
/// and on a virtual machine each fault costs microseconds. Nothing is given back before the arena
/// goes, and nothing handed out is initialised.
class HugePageArena
{
public:
    /// The size of a huge page, and of one region unless the arena is told otherwise.
    static constexpr size_t REGION_BYTES = size_t(2) << 20;

    /// An arena whose regions take `regionBytes`, rounded up to whole huge pages: the most one
    /// piece may take.
    explicit HugePageArena(size_t regionBytes = REGION_BYTES)
        : regionBytes((std::max(regionBytes, size_t(1)) + REGION_BYTES - 1) / REGION_BYTES * REGION_BYTES)
    {}

    /// `bytes` of memory aligned to 64 bytes; throws std::bad_alloc when there is none.
    void *allocate(size_t bytes)
    {
        bytes = (bytes + 63) & ~size_t(63);
        if (bytes > regionBytes)
            throw std::bad_alloc();
        if (regions.empty() || used + bytes > regionBytes) {
            void *region = std::aligned_alloc(REGION_BYTES, regionBytes);
            if (!region)
                throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
            madvise(region, regionBytes, MADV_HUGEPAGE); // advice only: without huge pages all still works
#endif
            regions.emplace_back(region);
            used = 0;
        }
        void *piece = static_cast<char *>(regions.back().get()) + used;
        used += bytes;
        return piece;
    }

private:
    struct Free
    {
        void operator()(void *region) const { std::free(region); }
    };
    size_t regionBytes;
    std::vector<std::unique_ptr<void, Free>> regions;
    size_t used = 0; ///< bytes handed out of the last region
};

#endif
