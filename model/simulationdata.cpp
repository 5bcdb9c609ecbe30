#include "simulationdata.h"

#include "bus.h"
#include "car.h"
#include "cell.h"
#include "crossroad.h"
#include "generator.h"
#include "semaphore.h"
#include "simulationlocks.h"
#include "tram.h"

#include <new>

SimulationData::~SimulationData()
{
    for (Generator *generator : generators)
        delete generator;
    {
        VehiclesLocker lock;
        for (Car *car : cars)
            delete car;
        for (Tram *tram : trams)
            delete tram;
        for (Bus *bus : buses)
            delete bus;
        cars.clear();
        trams.clear();
        buses.clear();
    }
    for (Cell *cell : cells)
        cell->~Cell();
    cells.clear();
    cellBlocks.clear();
    for (Crossroad *crossroad : crossroads)
        delete crossroad;
    for (Semaphore *semaphore : semaphores)
        delete semaphore;
}

Cell *SimulationData::createCell()
{
    if (cellsInLastBlock == CELL_BLOCK) {
        cellBlocks.emplace_back(new unsigned char[CELL_BLOCK * sizeof(Cell)]);
        cellsInLastBlock = 0;
    }
    void *slot = cellBlocks.back().get() + cellsInLastBlock * sizeof(Cell);
    ++cellsInLastBlock;
    Cell *cell = new (slot) Cell;
    cells.push_back(cell);
    return cell;
}
