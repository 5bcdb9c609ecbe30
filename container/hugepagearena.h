#ifndef KOLVEX_CONTAINER_HUGEPAGEARENA_H
#define KOLVEX_CONTAINER_HUGEPAGEARENA_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

/// Memory for large tables that are filled once and kept as long as the arena: handed out in pieces
/// carved from regions of whole 2 MB pages aligned to 2 MB, which Linux is asked to back with huge
/// pages. Filling a table of a hundred megabytes then takes some fifty page faults instead of
/// twenty-five thousand, and on a virtual machine each fault costs microseconds. Nothing is given
/// back before the arena goes, and nothing handed out is initialised.
///
/// Fresh memory is zeroed by the system as it is first written, which costs a city's preparation
/// as much as filling it. Once an arena has opened a few regions, so that it is likely to open more,
/// the next region is made ready (allocated and written once per page) on a thread of its own while
/// the current one fills, so that the zeroing runs on another core. The arena meets that thread
/// only when it takes the region made ready. The region made ready last goes unused unless the arena
/// is told that it grows no more (`stopReadying`).
class HugePageArena
{
public:
    /// The size of a huge page, and of one region unless the arena is told otherwise.
    static constexpr size_t REGION_BYTES = size_t(2) << 20;
    /// Regions an arena opens itself before the next ones are made ready ahead of time: an arena
    /// that stays smaller never starts a thread nor leaves a region unused.
    static constexpr size_t REGIONS_BEFORE_READYING = 2;

    /// An arena whose regions take `regionBytes`, rounded up to whole huge pages: the most one
    /// piece may take.
    explicit HugePageArena(size_t regionBytes = REGION_BYTES)
        : regionBytes((std::max(regionBytes, size_t(1)) + REGION_BYTES - 1) / REGION_BYTES * REGION_BYTES)
    {}
    HugePageArena(const HugePageArena &) = delete;
    HugePageArena &operator=(const HugePageArena &) = delete;
    /// Waits for a region being made ready, then gives back every region.
    ~HugePageArena() { std::free(takeReady()); }

    /// Gives back the region being made ready, if any, and makes no more ready: the arena is not
    /// expected to grow much further. Pieces are still handed out as before. The whole pages of the
    /// current region not handed out yet go back to the system too: a region made ready was written
    /// through, and its unused end would otherwise stay in memory (they come back zeroed if used).
    void stopReadying()
    {
        std::free(takeReady());
        readying = false;
#if defined(__linux__)
        constexpr size_t PAGE_BYTES = 4096;
        const size_t unusedFrom = (used + PAGE_BYTES - 1) / PAGE_BYTES * PAGE_BYTES;
        if (!regions.empty() && unusedFrom < regionBytes)
            madvise(static_cast<char *>(regions.back().get()) + unusedFrom, regionBytes - unusedFrom, MADV_DONTNEED);
#endif
    }

    /// `bytes` of memory aligned to 64 bytes; throws std::bad_alloc when there is none.
    void *allocate(size_t bytes)
    {
        bytes = (bytes + 63) & ~size_t(63);
        if (bytes > regionBytes)
            throw std::bad_alloc();
        if (regions.empty() || used + bytes > regionBytes) {
            void *region = takeReady();
            if (!region)
                region = openRegion(regionBytes);
            if (!region)
                throw std::bad_alloc();
            regions.emplace_back(region);
            used = 0;
            if (readying && regions.size() >= REGIONS_BEFORE_READYING)
                startReadying();
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

    /// A region of `bytes`, asked to be backed by huge pages; null when there is no memory.
    static void *openRegion(size_t bytes)
    {
        void *region = std::aligned_alloc(REGION_BYTES, bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (region)
            madvise(region, bytes, MADV_HUGEPAGE); // advice only: without huge pages all still works
#endif
        return region;
    }

    /// Opens the next region on a thread of its own and writes each of its pages once, so that the
    /// system zeroes them there; without a thread to be had, the region is opened when needed.
    void startReadying()
    {
        try {
            ready = std::async(std::launch::async, [bytes = regionBytes] {
                auto *region = static_cast<volatile char *>(openRegion(bytes));
                if (region)
                    for (size_t page = 0; page < bytes; page += 4096)
                        region[page] = 0;
                return const_cast<char *>(region);
            });
        } catch (const std::system_error &) {
        }
    }

    /// The region made ready, once its thread is done; null when none is being made ready.
    void *takeReady()
    {
        return ready.valid() ? static_cast<void *>(ready.get()) : nullptr;
    }

    size_t regionBytes;
    std::vector<std::unique_ptr<void, Free>> regions;
    size_t used = 0;           ///< bytes handed out of the last region
    std::future<char *> ready; ///< the next region, made ready on a thread of its own
    bool readying = true;      ///< whether regions are made ready ahead of time
};

#endif
