#ifndef KOLVEX_APP_SIMSTATISTICS_H
#define KOLVEX_APP_SIMSTATISTICS_H

#include <QMetaType>
#include <QTime>

#include <cstddef>
#include <cstdint>

class SimulationThread;
struct SimulationData;

/// One reading of a run's statistics after a step. The info panel shows it and hands the same
/// reading on to the live plot, so the two never disagree.
struct SimStatistics
{
    QTime time;
    int32_t step = 0;
    size_t cars = 0;
    size_t buses = 0;
    size_t trams = 0;
    /// Mean speed of the vehicles on the road in km/h; 0 with none.
    double meanSpeedKmh = 0.0;
    int32_t idlePercent = 0;
    int32_t overtime = 0; ///< milliseconds

    size_t vehicles() const { return cars + buses + trams; }

    /// Reads in the GUI thread while the step thread runs: the vehicle lists under the vehicles
    /// mutex, the clock and the pacer's figures without a lock. Either pointer may be null.
    static SimStatistics read(const SimulationData *data, const SimulationThread *thread);
};

Q_DECLARE_METATYPE(SimStatistics)

#endif
