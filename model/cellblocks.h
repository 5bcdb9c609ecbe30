#ifndef KOLVEX_MODEL_CELLBLOCKS_H
#define KOLVEX_MODEL_CELLBLOCKS_H

#include "cell.h"
#include "container/hugepagearena.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

/// The cells of one network, numbered in creation order and laid out in blocks of `CELLS_PER_BLOCK`
/// cells, so that the cells of one lane sit next to each other in memory and their occupants side
/// by side. A cell is found by its id; a `for` loop visits the cells in id order. Owns the cells
/// and their details.
class CellBlocks
{
public:
    /// Visits the cells in id order.
    class Iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Cell *;
        using difference_type = std::ptrdiff_t;
        using pointer = Cell *const *;
        using reference = Cell *;

        Iterator(const CellBlocks *blocks, int32_t id) : blocks(blocks), id(id) {}
        Cell *operator*() const { return blocks->at(id); }
        Iterator &operator++()
        {
            ++id;
            return *this;
        }
        bool operator==(const Iterator &other) const { return id == other.id; }
        bool operator!=(const Iterator &other) const { return id != other.id; }

    private:
        const CellBlocks *blocks;
        int32_t id;
    };

    CellBlocks() = default;
    CellBlocks(const CellBlocks &) = delete;
    CellBlocks &operator=(const CellBlocks &) = delete;
    /// Destroys the details of the blocks.
    ~CellBlocks();

    /// A new cell with the next id.
    Cell *add();
    /// Gives back the memory made ready for more blocks and what the blocks' details hold beyond
    /// their size: the network is complete. Cells may still be added and changed, only more slowly.
    void settle();
    /// The cell with the id `id`, which must be below `size()`.
    Cell *at(int32_t id) const
    {
        const Block &block = blocks[size_t(id) / CELLS_PER_BLOCK];
        return block.cells + size_t(id) % CELLS_PER_BLOCK;
    }
    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, int32_t(count)); }

private:
    /// Where the cells of one block start in its memory, which holds a header with their details,
    /// and the cells (see `CELL_BLOCK_HEADER_BYTES`).
    struct Block
    {
        Cell *cells;
    };

    /// A block's header and cells.
    static constexpr size_t BLOCK_BYTES = CELL_BLOCK_HEADER_BYTES + CELLS_PER_BLOCK * sizeof(Cell);

    /// Where the blocks and their details come from: a city's cells take tens of megabytes and
    /// more, which huge pages fill with few page faults. A block is just over 128 kB, so regions
    /// of 4 MB hold 31 blocks and leave 3 % unused, where 2 MB would hold 15 and leave 6 %.
    HugePageArena cellMemory{2 * HugePageArena::REGION_BYTES};
    /// Where each block's occupants and entries come from (`CellDetails::ARRAY_BYTES`).
    HugePageArena arrayMemory;
    std::vector<Block> blocks;
    size_t count = 0;
};

#endif
