#include "container/hugepagearena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

uintptr_t address(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

} // namespace

// The cells of a network come in blocks just over 128 kB, which a region of 2 MB holds fifteen of,
// with nearly a block left over; a region of the size asked, in whole huge pages, holds more.
TEST(HugePageArena, RegionsOfTheSizeAskedHoldWholePiecesOneAfterAnother)
{
    constexpr size_t piece = 131136; // 64-byte header and 4,096 cells of 32 bytes
    HugePageArena arena(3 * HugePageArena::REGION_BYTES / 2);
    const void *first = arena.allocate(piece);
    EXPECT_EQ(address(first) % HugePageArena::REGION_BYTES, 0u) << "regions start on a huge page";
    const void *last = first;
    for (int i = 1; i < 31; ++i) { // 31 fit the 4 MB the region is rounded up to
        const void *next = arena.allocate(piece);
        EXPECT_EQ(address(next), address(last) + piece) << i;
        last = next;
    }
    const void *nextRegion = arena.allocate(piece);
    EXPECT_EQ(address(nextRegion) % HugePageArena::REGION_BYTES, 0u);
    EXPECT_NE(address(nextRegion), address(last) + piece);

    EXPECT_EQ(address(arena.allocate(1)) % 64, 0u) << "pieces keep cache lines apart";
    EXPECT_THROW(arena.allocate(2 * HugePageArena::REGION_BYTES + 1), std::bad_alloc);
    EXPECT_THROW(HugePageArena().allocate(HugePageArena::REGION_BYTES + 1), std::bad_alloc);
}

// Once an arena has opened a few regions, the next one is made ready on a thread of its own: the
// pieces must still be whole, apart and writable, before and after the arena is told to stop, which
// gives back the end of the region being filled, up to the last piece handed out and no further.
TEST(HugePageArena, RegionsMadeReadyAheadHandOutApartWritablePieces)
{
    constexpr size_t piece = HugePageArena::REGION_BYTES / 2;
    HugePageArena arena;
    std::vector<unsigned char *> pieces;
    unsigned char *small = nullptr; // ends inside a page of a region made ready
    for (int i = 0; i < 24; ++i) {
        if (i == 16) {
            small = static_cast<unsigned char *>(arena.allocate(4096 + 100));
            std::memset(small, 0xAB, 4096 + 100);
            arena.stopReadying();
        }
        auto *p = static_cast<unsigned char *>(arena.allocate(piece));
        std::memset(p, i + 1, piece);
        pieces.push_back(p);
    }
    EXPECT_EQ(small[0], 0xAB);
    EXPECT_EQ(small[4096 + 99], 0xAB);
    EXPECT_EQ(address(pieces[16]), address(small) + 4096 + 128) << "the region goes on being filled";
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i][0], i + 1) << i;
        EXPECT_EQ(pieces[i][piece - 1], i + 1) << i;
        if (i % 2 == 0 && i < 16) { // two pieces fill a region exactly
            EXPECT_EQ(address(pieces[i]) % HugePageArena::REGION_BYTES, 0u) << i;
            EXPECT_EQ(address(pieces[i + 1]), address(pieces[i]) + piece) << i;
        }
    }
}
