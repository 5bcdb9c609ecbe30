#include "cellblocks.h"

#include "celldetails.h"

#include <algorithm>
#include <new>

CellBlocks::~CellBlocks()
{
    for (Cell *cell : *this)
        cell->~Cell();
    for (const Block &block : blocks)
        reinterpret_cast<CellDetails *>(reinterpret_cast<unsigned char *>(block.cells) - CELL_BLOCK_HEADER_BYTES)
            ->~CellDetails();
}

Cell *CellBlocks::add()
{
    static_assert(CELL_BLOCK_HEADER_BYTES % alignof(Cell) == 0, "the header keeps the cells aligned");
    const size_t index = count % CELLS_PER_BLOCK;
    if (index == 0) {
        constexpr size_t bytes = CELL_BLOCK_HEADER_BYTES + CELLS_PER_BLOCK * sizeof(Cell);
        auto *start = static_cast<unsigned char *>(memory.allocate(bytes));
        auto *occupants = static_cast<Vehicle **>(occupantMemory.allocate(CELLS_PER_BLOCK * sizeof(Vehicle *)));
        if (blocks.size() == blocks.capacity()) // nothing may throw once the details are made
            blocks.reserve(std::max<size_t>(64, 2 * blocks.size()));
        new (start) CellDetails(CELLS_PER_BLOCK);
        reinterpret_cast<CellDetails *>(start)->occupants = occupants;
        // Each cell clears its own occupant entry as it is made.
        blocks.push_back({reinterpret_cast<Cell *>(start + CELL_BLOCK_HEADER_BYTES)});
    }
    Cell *cell = new (blocks.back().cells + index) Cell(int32_t(count));
    ++count;
    return cell;
}
