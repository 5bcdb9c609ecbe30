#ifndef KOLVEX_ENGINE_SIMULATIONCONTROL_H
#define KOLVEX_ENGINE_SIMULATIONCONTROL_H

#include "engine/movephase.h"
#include "model/approachindex.h"
#include "model/vehicle.h"
#include "model/waitcycles.h"

#include "report/diagnostics.h"
#include "transport/linegenerator.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

class Car;
class Cell;
class Vehicle;
struct SimulationData;

/// Advances a run by one step in nine phases: decisions are made on a frozen picture,
/// then all speeds change at once, then all vehicles move. Runs in the step thread; only the
/// decision phase uses other threads, and it waits for them.
class SimulationControl
{
public:
    using VehiclesLock = std::lock_guard<std::mutex>;

    explicit SimulationControl(SimulationData *data);
    SimulationControl(const SimulationControl &) = delete;
    SimulationControl &operator=(const SimulationControl &) = delete;

    void step();

    void advanceClock();
    void updateSemaphores();
    void decideVehicles();
    void removeFinishedVehicles();
    void commitSpeeds();
    void resolveDeadlocks();
    void moveVehicles();
    void dispatchDepartures();
    void runGenerators();

    SimulationData *data() const { return m_data; }
    /// Cars the generators put on the network so far.
    int64_t carsCreated() const { return m_carsCreated; }
    /// Vehicles that finished their trip and were removed so far.
    int64_t vehiclesRemoved() const { return m_vehiclesRemoved; }
    /// Vehicles let go so far because they stood in a cycle of waits (see `WaitCycles`).
    int64_t waitsBroken() const { return m_waitsBroken; }
    /// Buses and trams that finished their trip and were removed so far.
    int64_t tripsFinished() const { return m_tripsFinished; }
    /// Creates the buses and trams of due departures and keeps those that wait for room.
    const LineGenerator &lines() const { return lineGenerator; }
    /// What the step has to say (vehicles of the timetable placed, the calendar refreshed); the
    /// listener, if any, hears it in the step thread.
    Diagnostics &diagnostics() { return m_diagnostics; }
    /// The run's lock of its vehicles: held while vehicles are added, removed or moved and while a
    /// frame copies them, so that a frame is never taken of a half-done phase. The engine alone
    /// takes it; each run has its own.
    std::mutex &vehiclesMutex() { return m_vehiclesMutex; }

private:
    LineGenerator lineGenerator;
    SimulationData *m_data;
    ApproachIndex approaches; ///< first vehicles before the stop lines, for deadlock breaking
    WaitCycles waitCycles;
    MovePhase movePhase;
    /// The cars with their front cells, in the order of their decisions (see `orderByPlace`).
    std::vector<std::pair<const Cell *, Car *>> m_carsByPlace;
    /// What one piece of a list decided at once works on: the decisions' lists, and the
    /// vehicles whose decision ended their trip in this step.
    struct DeciderScratch
    {
        DecisionLists lists;
        std::vector<Vehicle *> finished;
    };
    std::vector<DeciderScratch> m_deciders;
    std::vector<const Vehicle *> m_finished;           ///< this step's finished vehicles, by address
    std::vector<Vehicle *> m_vehicles;                 ///< trams, buses and cars, in this order
    std::vector<ApproachIndex::Approach> m_approachOf; ///< of each of `m_vehicles`
    std::vector<WaitCycles::Waiter> m_waiters;         ///< of each of `m_vehicles`
    std::vector<Vehicle *> m_released;                 ///< by the crossroad deadlock rule, this step
    int64_t m_carsCreated = 0;
    int64_t m_vehiclesRemoved = 0;
    int64_t m_tripsFinished = 0;
    int64_t m_waitsBroken = 0;
    Diagnostics m_diagnostics;
    std::mutex m_vehiclesMutex;
};

#endif
