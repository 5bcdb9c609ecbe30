#include "cellblocks.h"

#include "celldetails.h"

#include <new>

CellBlocks::~CellBlocks()
{
    for (Cell *cell : *this)
        cell->~Cell();
}

Cell *CellBlocks::add()
{
    static_assert(CELL_BLOCK_HEADER_BYTES >= sizeof(CellDetails *) && CELL_BLOCK_HEADER_BYTES % alignof(Cell) == 0,
                  "the header holds the details pointer and keeps the cells aligned");
    const size_t index = count % CELLS_PER_BLOCK;
    if (index == 0) {
        constexpr size_t bytes = CELL_BLOCK_HEADER_BYTES + CELLS_PER_BLOCK * (sizeof(Cell) + sizeof(Vehicle *));
        auto *start = static_cast<unsigned char *>(memory.allocate(bytes));
        auto details = std::make_unique<CellDetails>(CELLS_PER_BLOCK);
        new (start) CellDetails *(details.get());
        // Each cell clears its own occupant entry as it is made.
        blocks.push_back({reinterpret_cast<Cell *>(start + CELL_BLOCK_HEADER_BYTES), std::move(details)});
    }
    Cell *cell = new (blocks.back().cells + index) Cell(int32_t(count));
    ++count;
    return cell;
}
