#include "cellblocks.h"

#include "celldetails.h"

#include <new>

CellBlocks::~CellBlocks()
{
    for (Cell *cell : *this)
        cell->~Cell();
}

Cell *CellBlocks::add(CellDetails *details)
{
    const size_t index = count % BLOCK;
    if (index == 0)
        blocks.push_back({std::unique_ptr<unsigned char[]>(new unsigned char[BLOCK * sizeof(Cell)]),
                          std::unique_ptr<Vehicle *[]>(new Vehicle *[BLOCK]())});
    Block &block = blocks.back();
    void *slot = block.cells.get() + index * sizeof(Cell);
    Cell *cell = new (slot) Cell(int32_t(count), &block.occupants[index], details);
    details->addSlot();
    ++count;
    return cell;
}
