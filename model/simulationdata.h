#ifndef KOLVEX_MODEL_SIMULATIONDATA_H
#define KOLVEX_MODEL_SIMULATIONDATA_H

#include "cellblocks.h"
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

    /// A new cell, owned by this data, with the next id. Cells are laid out in blocks in creation
    /// order, so the cells of one lane sit next to each other in memory.
    Cell *createCell() { return cellBlocks.add(); }
    /// Tells that the network is complete: the memory made ready for more cells goes back.
    void networkComplete() { cellBlocks.settle(); }
    /// The cell with the id `id`, which must be below `cellCount()`.
    Cell *cellAt(int32_t id) const { return cellBlocks.at(id); }
    /// How many cells the network has; their ids are 0 to this count − 1.
    size_t cellCount() const { return cellBlocks.size(); }
    /// Every cell in id order (the order of creation), for a `for` loop.
    const CellBlocks &allCells() const { return cellBlocks; }
    /// The next vehicle id of this run.
    int32_t newVehicleId() { return nextVehicleId++; }
    /// The next generator id of this run.
    int32_t newGeneratorId() { return nextGeneratorId++; }
    /// FNV-1a over every vehicle's id, speed and occupied cell ids (and a bus's or tram's state,
    /// next stop and top speed), trams, buses and cars in list order: equal hashes mean equal
    /// states for the purpose of comparing runs.
    uint64_t stateHash() const;
    /// Every vehicle into `out` (cleared first): trams, then buses, then cars, each in list order.
    void listVehicles(std::vector<Vehicle *> &out) const;
    /// Makes every generator start cars `factor` times as often (each period at least one step):
    /// a heavier load than the city's own, for batch runs and benchmarks at the car cap.
    void feedGenerators(int64_t factor);

    /// The cap of cars a network holds unless the run asks for another.
    static constexpr size_t DEFAULT_MAX_CARS = 667;

    int32_t step = 0;
    QTime time;
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
    int32_t nextVehicleId = 0;
    int32_t nextGeneratorId = 0;
    /// The cells with their occupants and details.
    CellBlocks cellBlocks;
};

#endif
