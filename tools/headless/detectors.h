#ifndef KOLVEX_TOOLS_HEADLESS_DETECTORS_H
#define KOLVEX_TOOLS_HEADLESS_DETECTORS_H

#include "headlessoptions.h"

#include <QString>
#include <QTextStream>

#include <cstdint>
#include <unordered_set>
#include <vector>

class Cell;
class LaneBinding;
struct SimulationData;

/// Measuring points on the lanes, as loop detectors in a road: each watches one cell per lane
/// near its place, counts the vehicles whose front passes that cell with their speeds, and how
/// long the cell is covered. Observes the data between steps, in the thread that runs them.
class Detectors
{
public:
    /// The columns of one row of readings.
    static const char *const CSV_HEADER;

    /// What one watched cell saw since the last readings were taken.
    struct Reading
    {
        int64_t steps = 0;          ///< steps observed
        int64_t vehicles = 0;       ///< fronts that passed the cell
        int64_t speedSum = 0;       ///< their speeds, cells per step
        int64_t coveredSteps = 0;   ///< steps with a vehicle on the cell
        double inverseLengths = 0.; ///< over those steps, 1 / the covering vehicle's length in cells
    };

    /// One lane watched by one detector.
    struct Site
    {
        int detector;      ///< index into the places, from 0
        Cell *cell;        ///< the watched cell: the lane's cell nearest to the place
        LaneBinding *lane; ///< the lane, to name it
        double distanceM;  ///< from the place to the cell
        /// The cells a front may come from in one step, nearest first: the lane behind the cell
        /// and, where the lane starts at a crossroad, the paths leading into it.
        std::vector<Cell *> upstream;
        std::unordered_set<int32_t> approaching; ///< vehicles with their front on `upstream` cells
        Reading reading;
    };

    /// Finds, for each place, the cell nearest to it on every lane or track that passes within
    /// its radius.
    Detectors(const std::vector<DetectorPlace> &places, const SimulationData &data);

    const std::vector<Site> &sites() const { return watched; }
    /// Indices of the places that found no lane.
    std::vector<int> placesWithoutLane() const;

    /// Counts what happened in the step just run.
    void observe(const SimulationData &data);
    /// Writes one row per site with what it saw since the last rows, and starts afresh.
    void writeRows(QTextStream &out, const SimulationData &data);
    /// A line per site saying what it watches, for the run's log.
    QString description() const;

private:
    std::vector<DetectorPlace> places;
    std::vector<Site> watched;
};

#endif
