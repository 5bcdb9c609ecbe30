#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class Cell;
class CellBlocks;
class Crossroad;
class LaneBinding;
class OSMStop;
class Vehicle;

/// Cells per block of a run's cells (see `CellBlocks`). A block keeps its cells, their occupants
/// and their details apart from the other blocks, each sized for the whole block, so that no array
/// of a network grows by doubling. Blocks may lie one after another in memory, but a cell's runs
/// (`Cell::plainRun`) never cross from one into the next, so they fit the 16 bits the cell keeps them
/// in, and so does an index among the details of one block.
constexpr int32_t CELLS_PER_BLOCK = 4096;
static_assert(CELLS_PER_BLOCK <= INT16_MAX, "a run of cells within one block fits 16 bits");

/// The occupants of the cells of one block from one cell on: their entries side by side, and a bit
/// for each cell telling whether it is taken, 64 cells to a word. A walk over a long run of cells
/// finds the few taken ones from a few words instead of reading every entry, and the bits of a
/// whole city fit in a processor's cache where its entries do not. Every write goes through here, so
/// that the bits always tell what the entries hold.
class OccupantRun
{
public:
    OccupantRun(Vehicle **entries, uint64_t *bits, int32_t slot) : entries(entries + slot), bits(bits), slot(slot) {}

    /// The occupant of the k-th cell, null if free.
    Vehicle *operator[](size_t k) const { return entries[k]; }
    /// Calls visit(k, occupant) for the taken cells among the first `count`, in order.
    template <typename Visit> void forEachTaken(size_t count, Visit visit) const
    {
        const size_t first = size_t(slot);
        const size_t end = first + count;
        for (size_t word = first / 64; word * 64 < end; ++word) {
            uint64_t taken = bits[word];
            if (word == first / 64)
                taken &= ~uint64_t(0) << (first % 64);
            if ((word + 1) * 64 > end)
                taken &= ~(~uint64_t(0) << (end % 64));
            while (taken) {
                const size_t k = word * 64 + size_t(__builtin_ctzll(taken)) - first;
                visit(k, entries[k]);
                taken &= taken - 1;
            }
        }
    }
    /// Makes `v` (or nobody, for null) the occupant of the k-th cell.
    void set(size_t k, Vehicle *v)
    {
        entries[k] = v;
        const size_t at = size_t(slot) + k;
        if (v)
            bits[at / 64] |= uint64_t(1) << (at % 64);
        else
            bits[at / 64] &= ~(uint64_t(1) << (at % 64));
    }
    /// Frees those of the first `count` cells that `v` holds. `atOnce`: other threads free or take
    /// cells of this block at the same time, which only the move does, freeing all before taking.
    void release(size_t count, const Vehicle *v, bool atOnce)
    {
        forEachWord(count, [&](size_t word, size_t from, size_t to) {
            uint64_t freed = 0;
            for (size_t k = from; k < to; ++k) {
                if (__atomic_load_n(entries + k, __ATOMIC_RELAXED) == v) {
                    __atomic_store_n(entries + k, nullptr, __ATOMIC_RELAXED);
                    freed |= uint64_t(1) << ((size_t(slot) + k) % 64);
                }
            }
            if (freed) // a cell another vehicle took over keeps its bit
                clearBits(word, freed, atOnce);
        });
    }
    /// Frees the first `count` cells, all held by one vehicle; as `release` for that vehicle, without
    /// reading who holds them. `atOnce` as for `release`.
    void vacate(size_t count, bool atOnce)
    {
        for (size_t k = 0; k < count; ++k)
            __atomic_store_n(entries + k, nullptr, __ATOMIC_RELAXED);
        unmark(count, atOnce);
    }
    /// Marks the first `count` cells free and leaves their entries, which the next `claim` of them
    /// writes. `atOnce` as for `release`.
    void unmark(size_t count, bool atOnce)
    {
        forEachWord(count, [&](size_t word, size_t from, size_t to) { clearBits(word, wordMask(from, to), atOnce); });
    }
    /// Marks the first `count` cells taken and makes `v` the occupant of those that were free; calls
    /// taken(k) for each of them that was taken already, whose occupant stays. `atOnce` as for
    /// `release`: of several claiming one cell at once, the first to mark it is its occupant.
    template <typename Taken> void claim(size_t count, Vehicle *v, bool atOnce, Taken taken)
    {
        forEachWord(count, [&](size_t word, size_t from, size_t to) {
            const uint64_t mask = wordMask(from, to);
            uint64_t before;
            if (atOnce) {
                before = __atomic_fetch_or(bits + word, mask, __ATOMIC_RELAXED);
            } else {
                before = bits[word];
                bits[word] |= mask;
            }
            for (size_t k = from; k < to; ++k) {
                if (before & (uint64_t(1) << ((size_t(slot) + k) % 64)))
                    taken(k);
                else
                    __atomic_store_n(entries + k, v, __ATOMIC_RELAXED);
            }
        });
    }

private:
    /// Clears the bits `mask` of the word `word`; `atOnce` as for `release`.
    void clearBits(size_t word, uint64_t mask, bool atOnce)
    {
        if (atOnce)
            __atomic_fetch_and(bits + word, ~mask, __ATOMIC_RELAXED);
        else
            bits[word] &= ~mask;
    }
    /// The bits of the cells k in [from, to), which lie in one word.
    uint64_t wordMask(size_t from, size_t to) const
    {
        return (to - from == 64 ? ~uint64_t(0) : ((uint64_t(1) << (to - from)) - 1)) << ((size_t(slot) + from) % 64);
    }
    /// Calls each(word, from, to) for the cells k in [from, to) of the first `count` whose bits lie in
    /// one word, word by word.
    template <typename Each> void forEachWord(size_t count, Each each)
    {
        for (size_t from = 0; from < count;) {
            const size_t at = size_t(slot) + from;
            const size_t to = std::min(count, from + 64 - at % 64);
            each(at / 64, from, to);
            from = to;
        }
    }

    Vehicle **entries;
    uint64_t *bits;
    int32_t slot;
};

/// Where a straight stretch of evenly spaced cells lies, all on one lane (null inside crossroads
/// and on bay cells): the cell at index k of the stretch lies `k` steps of (`latStep`, `lonStep`)
/// degrees from `origin`. A lone cell is a stretch of one with no step.
struct CellStretch
{
    Location origin;
    double latStep = 0.0;
    double lonStep = 0.0;
    LaneBinding *lane = nullptr;

    /// Where the cell at `index` lies, its longitude folded back into (−180, 180] for a stretch
    /// across the antimeridian.
    Location at(int32_t index) const
    {
        const double k = double(index);
        double lon = origin.lon + k * lonStep;
        if (lon > 180.0)
            lon -= 360.0;
        else if (lon <= -180.0)
            lon += 360.0;
        return Location(origin.lat + k * latStep, lon);
    }
    bool operator==(const CellStretch &o) const
    {
        return origin == o.origin && latStep == o.latStep && lonStep == o.lonStep && lane == o.lane;
    }
};

/// What the cells of one block of a network keep outside themselves, by cell slot: their occupants
/// side by side; where each lies and its lane, which a step reads less often; and the links that
/// only a few cells have (a stop bay or platform beside, a stop, the crossroad after the last cell
/// of a chain). Keeping them here leaves the cell with the fields a step reads. A cell's place and
/// lane are not kept cell by cell: the cells of a lane are laid in straight stretches, and a cell
/// keeps the number of its stretch among the block's, from which its place follows. The arrays, of
/// `CELLS_PER_BLOCK` entries each, are the run's data's (see `CellBlocks`), which hands them over
/// empty.
class CellDetails
{
public:
    /// The links of a cell that most cells lack; a cell marks which of them it has.
    struct Rare
    {
        Cell *side = nullptr;
        Cell *sideOf = nullptr;
        OSMStop *stop = nullptr;
        Crossroad *crossroad = nullptr;
    };

    /// What a cell keeps here besides its occupant: its stretch and its rare links, by number.
    struct SlotEntry
    {
        uint16_t placement;
        int16_t rare;
    };

    /// Bytes of the piece of memory that holds a block's arrays: the occupants of its cells, then
    /// their entries, `CELLS_PER_BLOCK` of each, then a bit for each cell telling whether it is taken.
    static constexpr size_t ARRAY_BYTES =
        CELLS_PER_BLOCK * (sizeof(Vehicle *) + sizeof(SlotEntry)) + CELLS_PER_BLOCK / 8;
    static_assert(CELLS_PER_BLOCK % 64 == 0, "a block's bits fill whole words");

    /// Details of a block of `owner`, kept in `arrays` of `ARRAY_BYTES`: no occupants, rare links
    /// or lanes yet, every cell at `Location()`.
    CellDetails(void *arrays, const CellBlocks *owner) : occupants(static_cast<Vehicle **>(arrays)), owner(owner)
    {
        std::fill_n(occupants, CELLS_PER_BLOCK, nullptr);
        std::fill_n(entries(), CELLS_PER_BLOCK, SlotEntry{0, NO_RARE});
        std::fill_n(takenBits(), CELLS_PER_BLOCK / 64, 0);
        placements.push_back(Placement{});
    }

    /// Where the cell at `slot` lies.
    Location location(int32_t slot) const
    {
        const Placement &p = placements[entries()[slot].placement];
        return p.stretch.at(slot - p.firstSlot);
    }
    /// The lane of the cell at `slot`.
    LaneBinding *lane(int32_t slot) const { return placements[entries()[slot].placement].stretch.lane; }
    /// Lays the cell at `slot` as the cell at `index` of `stretch`.
    void place(int32_t slot, const CellStretch &stretch, int32_t index);
    /// Moves the cell at `slot` to `location`, on the lane it had.
    void setLocation(int32_t slot, const Location &location) { place(slot, {location, 0.0, 0.0, lane(slot)}, 0); }
    /// Puts the cell at `slot` on `lane`, where it lay.
    void setLane(int32_t slot, LaneBinding *lane);

    /// Gives back the room kept for more stretches and rare links.
    void trim()
    {
        rares.shrink_to_fit();
        placements.shrink_to_fit();
    }

    /// The rare links of the cell at `slot`; the cell must have marked one of them.
    const Rare &rareOf(int32_t slot) const { return rares[size_t(entries()[slot].rare)]; }
    /// The rare links of the cell at `slot`, made empty on first use.
    Rare &rareToSet(int32_t slot)
    {
        int16_t &index = entries()[slot].rare;
        if (index == NO_RARE) {
            index = int16_t(rares.size());
            rares.emplace_back();
        }
        return rares[size_t(index)];
    }

    /// The occupants of the block's cells from the one at `slot` on.
    OccupantRun occupantsFrom(int32_t slot) const { return OccupantRun(occupants, takenBits(), slot); }

    /// The occupants of the block's cells side by side, apart from the cells: a walk over a run of
    /// cells reads them there. Written only through `occupantsFrom`.
    Vehicle **const occupants;
    /// The run's data the block belongs to, through which a cell finds a cell of another block.
    const CellBlocks *const owner;

private:
    /// A stretch as the block's cells lie on it: its cell at index k is the block's cell at slot
    /// `firstSlot` + k. `firstSlot` is below 0 for a stretch begun in an earlier block.
    struct Placement
    {
        CellStretch stretch;
        int32_t firstSlot = 0;
        bool operator==(const Placement &o) const { return stretch == o.stretch && firstSlot == o.firstSlot; }
    };

    /// Keeps only the placements some cell lies on, once their numbers run out.
    void dropUnused();

    static constexpr int16_t NO_RARE = -1;
    // Numbers by slot rather than hash maps: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    SlotEntry *entries() const { return reinterpret_cast<SlotEntry *>(occupants + CELLS_PER_BLOCK); }
    uint64_t *takenBits() const { return reinterpret_cast<uint64_t *>(entries() + CELLS_PER_BLOCK); }
    std::vector<Rare> rares;
    std::vector<Placement> placements;
};

#endif
