#ifndef KOLVEX_MODEL_SIMULATIONDATA_H
#define KOLVEX_MODEL_SIMULATIONDATA_H

#include "timetable/departurecalendar.h"
#include "timetable/publictransportlines.h"

#include <QTime>

#include <cstdint>
#include <memory>
#include <vector>

class Bus;
class Car;
class Cell;
class Crossroad;
class Generator;
class Semaphore;
class Tram;

/// The state of one run: the cell network, the vehicles, the lines and the clock.
/// Owns everything it lists; every phase walks trams, then buses, then cars.
struct SimulationData
{
    SimulationData() = default;
    explicit SimulationData(const QTime &startTime) : time(startTime) {}
    SimulationData(const SimulationData &) = delete;
    SimulationData &operator=(const SimulationData &) = delete;
    /// Frees generators, vehicles (under the vehicles mutex), lines, calendar and network.
    ~SimulationData();

    /// A new cell, appended to `cells` and owned by this data. Cells are laid out in blocks in
    /// creation order, so the cells of one lane sit next to each other in memory.
    Cell *createCell();

    int32_t step = 0;
    QTime time;
    std::vector<Cell *> cells;
    std::vector<Crossroad *> crossroads;
    std::vector<Semaphore *> semaphores;
    DepartureCalendar calendar;
    std::vector<Car *> cars;
    std::vector<Generator *> generators;
    std::vector<Tram *> trams;
    std::vector<Bus *> buses;
    PublicTransportLines lines;

private:
    static constexpr size_t CELL_BLOCK = 4096;
    /// Raw storage of the cells; each block holds CELL_BLOCK cells, the last one fewer.
    std::vector<std::unique_ptr<unsigned char[]>> cellBlocks;
    size_t cellsInLastBlock = CELL_BLOCK;
};

#endif
