#ifndef KOLVEX_MODEL_SIMULATIONDATA_H
#define KOLVEX_MODEL_SIMULATIONDATA_H

#include "cell.h"
#include "celldetails.h"
#include "container/hugepagearena.h"
#include "random.h"
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
class Vehicle;

/// The state of one run: the cell network, the vehicles, the lines and the clock.
/// Owns everything it lists; every phase walks trams, then buses, then cars.
struct SimulationData
{
    SimulationData() = default;
    explicit SimulationData(const QTime &startTime, uint64_t seed = Random::DEFAULT_SEED)
        : time(startTime), random(seed)
    {}
    SimulationData(const SimulationData &) = delete;
    SimulationData &operator=(const SimulationData &) = delete;
    /// Frees generators, vehicles, lines, calendar and network.
    ~SimulationData();

    /// A new cell, appended to `cells` and owned by this data. Cells are laid out in blocks in
    /// creation order, so the cells of one lane sit next to each other in memory.
    Cell *createCell();
    /// The next vehicle id of this run.
    int32_t newVehicleId() { return nextVehicleId++; }
    /// The next generator id of this run.
    int32_t newGeneratorId() { return nextGeneratorId++; }
    /// FNV-1a over every vehicle's id, speed and occupied cell ids (and a bus's or tram's state,
    /// next stop and top speed), trams, buses and cars in list order: equal hashes mean equal
    /// states for the purpose of comparing runs.
    uint64_t stateHash() const;
    /// Makes every generator start cars `factor` times as often (each period at least one step):
    /// a heavier load than the city's own, for batch runs and benchmarks at the car cap.
    void feedGenerators(int64_t factor);

    /// The cap of cars a network holds unless the run asks for another.
    static constexpr size_t DEFAULT_MAX_CARS = 667;

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
    /// The cap of cars on the network, a setting of the run: generators pause while it is reached.
    size_t maxCars = DEFAULT_MAX_CARS;
    /// Every draw of the run: ids and streams belong to the run, so two runs in one process
    /// prepared alike with one seed give the same result.
    RunRandom random;

private:
    int32_t nextCellId = 0;
    int32_t nextVehicleId = 0;
    int32_t nextGeneratorId = 0;
    static constexpr size_t CELL_BLOCK = Cell::CELLS_PER_BLOCK;
    /// Location, lane and rare links of every cell, by id; outlives the cells, which point here.
    CellDetails cellDetails;
    /// Where the blocks below come from: a city's cells take a hundred megabytes and more.
    HugePageArena cellMemory;
    HugePageArena occupantMemory;
    /// Raw storage of the cells; each block holds CELL_BLOCK cells, the last one fewer.
    std::vector<unsigned char *> cellBlocks;
    /// The occupants of the cells of each block, side by side (see `Cell::occupants`).
    std::vector<Vehicle **> occupantBlocks;
    size_t cellsInLastBlock = CELL_BLOCK;
};

#endif
