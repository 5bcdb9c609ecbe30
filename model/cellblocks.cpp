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
    const size_t index = count % CELLS_PER_BLOCK;
    if (index == 0)
        blocks.push_back({static_cast<unsigned char *>(cellMemory.allocate(CELLS_PER_BLOCK * sizeof(Cell))),
                          static_cast<Vehicle **>(occupantMemory.allocate(CELLS_PER_BLOCK * sizeof(Vehicle *))),
                          std::make_unique<CellDetails>(CELLS_PER_BLOCK)});
    Block &block = blocks.back();
    void *slot = block.cells + index * sizeof(Cell);
    Cell *cell = new (slot) Cell(int32_t(count), &block.occupants[index], block.details.get());
    ++count;
    return cell;
}
