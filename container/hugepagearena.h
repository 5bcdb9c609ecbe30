#ifndef KOLVEX_CONTAINER_HUGEPAGEARENA_H
#define KOLVEX_CONTAINER_HUGEPAGEARENA_H

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
    /// The size of one region, and so the most one piece may take.
    static constexpr size_t REGION_BYTES = size_t(2) << 20;

    /// `bytes` of memory aligned to 64 bytes; throws std::bad_alloc when there is none.
    void *allocate(size_t bytes)
    {
        bytes = (bytes + 63) & ~size_t(63);
        if (bytes > REGION_BYTES)
            throw std::bad_alloc();
        if (regions.empty() || used + bytes > REGION_BYTES) {
            void *region = std::aligned_alloc(REGION_BYTES, REGION_BYTES);
            if (!region)
                throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
            madvise(region, REGION_BYTES, MADV_HUGEPAGE); // advice only: without huge pages all still works
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
    std::vector<std::unique_ptr<void, Free>> regions;
    size_t used = 0; ///< bytes handed out of the last region
};

#endif
