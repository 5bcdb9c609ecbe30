#include "cellblocks.h"

#include "celldetails.h"

#include <algorithm>
#include <new>
#include <type_traits>

CellBlocks::~CellBlocks()
{
    static_assert(std::is_trivially_destructible_v<Cell>, "cells need no destruction");
    for (const Block &block : blocks)
        block.cells->details()->~CellDetails();
}

void CellBlocks::settle()
{
    for (const Block &block : blocks)
        block.cells->details()->trim();
    cellMemory.stopReadying();
    arrayMemory.stopReadying();
}

Cell *CellBlocks::add()
{
    static_assert(CELL_BLOCK_HEADER_BYTES % alignof(Cell) == 0, "the header keeps the cells aligned");
    const size_t index = count % CELLS_PER_BLOCK;
    if (index == 0) {
        auto *start = static_cast<unsigned char *>(cellMemory.allocate(BLOCK_BYTES));
        void *arrays = arrayMemory.allocate(CellDetails::ARRAY_BYTES);
        if (blocks.size() == blocks.capacity()) // nothing may throw once the details are made
            blocks.reserve(std::max<size_t>(64, 2 * blocks.size()));
        new (start) CellDetails(arrays, this);
        blocks.push_back({reinterpret_cast<Cell *>(start + CELL_BLOCK_HEADER_BYTES)});
    }
    Cell *cell = new (blocks.back().cells + index) Cell(int32_t(count));
    ++count;
    return cell;
}
