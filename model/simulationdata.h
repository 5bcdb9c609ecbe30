#ifndef KOLVEX_MODEL_SIMULATIONDATA_H
#define KOLVEX_MODEL_SIMULATIONDATA_H

#include "transport/departurecalendar.h"
#include "transport/publictransportlines.h"

#include <QTime>

#include <cstdint>
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
};

#endif
