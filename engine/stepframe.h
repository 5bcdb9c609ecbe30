#ifndef KOLVEX_ENGINE_STEPFRAME_H
#define KOLVEX_ENGINE_STEPFRAME_H

#include "engine/trafficcensus.h"
#include "geo/geodesy.h"
#include "model/semaphore.h"
#include "model/vehicleguided.h"

#include <QString>
#include <QTime>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct SimulationData;

/// Vehicles on the network by kind, and their mean speed.
struct TrafficCounts
{
    size_t cars = 0;
    size_t buses = 0;
    size_t trams = 0;
    /// Mean speed of the vehicles on the network in km/h; 0 with none.
    double meanSpeedKmh = 0.0;

    size_t vehicles() const { return cars + buses + trams; }

    /// Counts the vehicles of `data` as they stand between two steps.
    static TrafficCounts of(const SimulationData &data);
};

/// What the window shows of a run after one step: the clock, every vehicle as the painter draws
/// it, the signal lights, the counts and the pace of the step loop. The step thread fills one
/// after each step and hands it over (see FrameExchange); from then on nobody changes it, so the
/// map, the info panel and the live plot read it in the GUI thread without a lock.
struct StepFrame
{
    /// One vehicle: its body as a run of cells and what its label says.
    struct Vehicle
    {
        VehicleKind kind = VehicleKind::Car;
        int32_t id = 0;
        int32_t speed = 0;
        size_t firstCell = 0; ///< index of its front cell in `cells`
        size_t cellCount = 0;
        bool hasNext = false; ///< a vehicle of one cell: whether that cell has a next one (for the heading)
        Location next;        ///< …and where it is
        QString line;         ///< a bus's or tram's line name; empty for a car
        GuidedState stopState = GuidedState::Driving;
        int32_t stopSteps = 0; ///< steps still to stand loading or waiting
    };

    QTime time;
    int32_t step = 0;
    /// Cars, then buses, then trams (so that trams are drawn on top).
    std::vector<Vehicle> vehicles;
    /// The occupied cells of every vehicle, front first.
    std::vector<Location> cells;
    /// Every signal light, in the order of forEachSignalLight.
    std::vector<Semaphore::Light> lights;
    TrafficCounts counts;
    int32_t idlePercent = 0; ///< the idle share of the step loop's recent periods
    int32_t overtime = 0;    ///< milliseconds by which the last step came late

    /// Replaces the clock, vehicles, lights and counts with those of `data` (the pace is left
    /// alone). Reuses the storage of the frame, so that a recycled frame allocates nothing.
    void capture(const SimulationData &data);

    /// The vehicles of one kind: [first, last).
    const Vehicle *begin(VehicleKind kind) const { return vehicles.data() + kindStart[size_t(kind)]; }
    const Vehicle *end(VehicleKind kind) const { return vehicles.data() + kindStart[size_t(kind) + 1]; }
    const Location *cellsOf(const Vehicle &v) const { return cells.data() + v.firstCell; }

private:
    template <typename V> void captureKind(const std::vector<V *> &list, VehicleKind kind);

    std::array<size_t, 4> kindStart{}; ///< where each kind begins in `vehicles`, and the end
};

/// Calls `visit(semaphore, approach, light)` for every signal light of a run, in the order of a
/// frame's lights: the semaphores in run order, each one's approaches in its own order.
template <typename Visit> void forEachSignalLight(const std::vector<Semaphore *> &semaphores, Visit visit)
{
    for (const Semaphore *semaphore : semaphores)
        for (const auto &light : semaphore->lights())
            visit(*semaphore, light.first, light.second);
}

#endif
