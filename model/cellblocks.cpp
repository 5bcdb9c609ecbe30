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
        blocks.push_back({std::unique_ptr<unsigned char[]>(new unsigned char[CELLS_PER_BLOCK * sizeof(Cell)]),
                          std::unique_ptr<Vehicle *[]>(new Vehicle *[CELLS_PER_BLOCK]()),
                          std::make_unique<CellDetails>(CELLS_PER_BLOCK)});
    Block &block = blocks.back();
    void *slot = block.cells.get() + index * sizeof(Cell);
    Cell *cell = new (slot) Cell(int32_t(count), &block.occupants[index], block.details.get());
    ++count;
    return cell;
}
